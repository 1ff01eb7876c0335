// The two views: what the rows show, the menu states of each view, refresh and the current row.
#include "WindowFixture.h"

#include "AdminMenus.h"
#include "AdminToolbar.h"
#include "TaskIconCache.h"
#include "TaskListModel.h"
#include "TaskListView.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QTest>

namespace brio::test {

using ViewTest = WindowTest;

TEST_F(ViewTest, ListFileRowsShowStateRandomMinutesScheduleAndMarks) {
    WriteList({
        {.name = "Cierre", .text = "A las 2:00 todos los días", .startTimeRandom = "15"},
        {.name = "Oculta", .hidden = true},
        {.name = "Copia", .disabled = "1", .selected = "3"},
        {.name = "Perdida", .program = "C:\\BRIO\\VELMORAX\\bin\\falta.exe", .disabled = "1"},
        {.name = "Cero", .startTimeRandom = "0"},
    });
    frmAdmin& w = Open();
    EXPECT_EQ(w.windowTitle(), "Tareas Programadas de Brio");
    // The hidden record is left out and the rows after it keep their order.
    EXPECT_EQ(Names(), (std::vector<std::string>{"Cierre", "Copia", "Perdida", "Cero"}));
    EXPECT_EQ(Cell(0, TaskListModel::ColState), "");
    EXPECT_EQ(Cell(0, TaskListModel::ColRnd), "15");
    EXPECT_EQ(Cell(0, TaskListModel::ColSchedule), "A las 2:00 todos los días");
    EXPECT_EQ(Cell(1, TaskListModel::ColState), "Deshabilitada");
    // A missing program is an error before it is a disabled task.
    EXPECT_EQ(Cell(2, TaskListModel::ColState), "Error");
    EXPECT_EQ(Cell(3, TaskListModel::ColRnd), "");
    EXPECT_EQ(CheckedNames(), (std::vector<std::string>{"Copia"}));
    EXPECT_EQ(w.tasks()->row(0).icon, TaskIconCache::kEnabled);
    EXPECT_EQ(w.tasks()->row(1).icon, TaskIconCache::kDisabled);
    EXPECT_TRUE(TakeMessages().empty());
    // " Estado" is never cut: it is as wide as its longest text in the list's font, also a larger one.
    for (const double points : {8.25, 14.0}) {
        QFont font = w.lvwTareas()->font();
        font.setPointSizeF(points);
        w.lvwTareas()->setFont(font);
        const int text = QFontMetrics(font).horizontalAdvance(QStringLiteral("Deshabilitada"));
        EXPECT_GT(w.lvwTareas()->columnWidth(TaskListModel::ColState), text) << points;
    }
}

TEST_F(ViewTest, DuplicateNameReportsTheKeyErrorAndKeepsTheRowsBeforeIt) {
    WriteList({{.name = "A"}, {.name = "B"}, {.name = "A"}, {.name = "C"}});
    Open();
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(MsgBox::log().size(), 1);
    const MsgBox::Shown shown = MsgBox::log().front();
    EXPECT_EQ(shown.text, "Error 35602 (La clave no es única en la colección: la tarea «A» está repetida)");
    EXPECT_EQ(shown.title, "BrioSchedule");
    EXPECT_EQ(shown.icon, MsgIcon::Critical);
    EXPECT_EQ(shown.buttons, QMessageBox::Ok);
}

TEST_F(ViewTest, SwitchingViewsSetsTitlesAndEnablesTheItemsOfEachView) {
    WriteList({{.name = "Lista"}});
    AddSystemTask("Sistema", "/bin/sh");
    frmAdmin& w = Open();
    AdminMenus& m = w.menus();
    QAction* exportButton = w.Toolbar1()->Button("Exportar");
    QAction* harbinex = w.Toolbar1()->Button("Harbinex");
    auto states = [&] {
        return std::vector<bool>{m.mnuTareasImportar->isEnabled(),
                                 m.mnuTareasExportar->isEnabled(),
                                 m.mnuTareasReparar->isEnabled(),
                                 m.mnuTareasRangoTiempo->isEnabled(),
                                 exportButton->isEnabled(),
                                 m.mnuTareasModificar->isEnabled(),
                                 m.mnuVerTareasBrio->isChecked(),
                                 m.mnuVerTareasSistema->isChecked(),
                                 harbinex->isEnabled()};
    };
    const std::vector<bool> brio{false, true, false, true, true, true, true, false, true};
    const std::vector<bool> sistema{true, false, true, false, false, true, false, true, true};
    EXPECT_EQ(states(), brio);

    m.mnuVerTareasSistema->trigger();
    EXPECT_EQ(states(), sistema);
    EXPECT_EQ(w.windowTitle(), "Tareas Programadas del Sistema");
    EXPECT_EQ(w.Toolbar1()->lblTituloTarea->text(), "Tareas Programadas del Sistema");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Sistema"}));

    // A switch to the view already shown is a refresh and keeps its menu states.
    m.mnuVerTareasSistema->trigger();
    EXPECT_EQ(states(), sistema);

    m.mnuVerTareasBrio->trigger();
    EXPECT_EQ(states(), brio);
    EXPECT_EQ(w.windowTitle(), "Tareas Programadas de Brio");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Lista"}));
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ViewTest, F5RefreshesTheViewShown) {
    WriteList({{.name = "A"}});
    AddSystemTask("S1", "/bin/sh");
    frmAdmin& w = Open();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    WriteList({{.name = "A"}, {.name = "B"}});
    QTest::keyClick(w.lvwTareas(), Qt::Key_F5);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));

    w.menus().mnuVerTareasSistema->trigger();
    AddSystemTask("S2", "/bin/sh");
    QTest::keyClick(w.lvwTareas(), Qt::Key_F5);
    EXPECT_EQ(Names(), (std::vector<std::string>{"S1", "S2"}));
    EXPECT_TRUE(w.menus().mnuVerTareasSistema->isChecked());
}

TEST_F(ViewTest, CurrentRowSurvivesRefillsByItsKey) {
    WriteList({{.name = "A"}, {.name = "B"}, {.name = "C"}});
    AddSystemTask("B", "/bin/sh");
    frmAdmin& w = Open();
    EXPECT_EQ(w.lvwTareas()->CurrentRow(), -1);
    w.lvwTareas()->SetCurrentRow(1);

    WriteList({{.name = "Z"}, {.name = "A"}, {.name = "B"}});
    w.mnuVerActualizar_Click();
    EXPECT_EQ(w.lvwTareas()->CurrentText(), "B");
    EXPECT_EQ(w.lvwTareas()->CurrentRow(), 2);

    // Across a change of view, when a task of the same name exists there.
    w.mnuVerTareasSistema_Click();
    EXPECT_EQ(w.lvwTareas()->CurrentText(), "B");

    // A key that does not come back leaves no current row, and nothing is reported.
    WriteList({{.name = "A"}});
    w.mnuVerTareasBrio_Click();
    EXPECT_EQ(w.lvwTareas()->CurrentRow(), -1);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ViewTest, SystemViewIconsAreCachedPerTaskAndProgramForTheWindowsLife) {
    const std::string missing = drive_.path().string() + "/later.sh";
    AddSystemTask("Con programa", "/bin/sh");
    AddSystemTask("Sin programa", missing);
    AddSystemTask("Apagada", "/bin/sh", true);
    frmAdmin& w = Open();
    w.mnuVerTareasSistema_Click();
    ASSERT_EQ(Names(), (std::vector<std::string>{"Apagada", "Con programa", "Sin programa"}));
    EXPECT_EQ(Cell(0, TaskListModel::ColState), "Deshabilitada");
    EXPECT_TRUE(CheckedNames().empty());

    TaskIconCache& images = w.ImageList1();
    const int missingIcon = w.tasks()->row(2).icon;
    EXPECT_GT(missingIcon, TaskIconCache::kDisabled);
    // Two tasks of one program share its image: one image per program, not per task.
    EXPECT_EQ(w.tasks()->row(0).icon, w.tasks()->row(1).icon);
    EXPECT_NE(w.tasks()->row(1).icon, missingIcon);
    EXPECT_EQ(images.Count(), 4);
    // An empty square of the list's background.
    const QImage square = images.Image(missingIcon).toImage();
    EXPECT_EQ(square.size(), QSize(16, 16));
    const QColor background = w.lvwTareas()->palette().color(QPalette::Base);
    for (QPoint p : {QPoint(0, 0), QPoint(8, 8), QPoint(15, 15)})
        EXPECT_EQ(QColor(square.pixel(p)), background);

    // The program appears later: the task keeps its first image, and no new image is made.
    WriteText(missing, "#!/bin/sh\n");
    const int count = images.Count();
    w.mnuVerActualizar_Click();
    EXPECT_EQ(w.tasks()->row(2).icon, missingIcon);
    EXPECT_EQ(images.Count(), count);
    EXPECT_EQ(images.Image(missingIcon).toImage(), square);
}

TEST_F(ViewTest, EmptyOrMissingListFileGivesAnEmptyListWithoutMessage) {
    frmAdmin& w = Open();
    EXPECT_EQ(w.tasks()->count(), 0);
    WriteList({});
    w.mnuVerActualizar_Click();
    EXPECT_EQ(w.tasks()->count(), 0);
    w.mnuVerTareasSistema_Click();
    EXPECT_EQ(w.tasks()->count(), 0);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ViewTest, UnreadableListFileIsReportedAndTheMenuStatesStay) {
    WriteList({{.name = "A"}});
    frmAdmin& w = Open();
    WriteText(home_ / "TaskConfig.XML", "<TAREAS><TAREA name=\"A\"");
    w.menus().mnuVerTareasSistema->trigger();
    w.menus().mnuVerTareasBrio->trigger();
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error 75 (", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find("no es un XML válido: "), std::string::npos) << messages[0];
    EXPECT_EQ(messages[0].find("parsing"), std::string::npos) << "the parser's words in Spanish";
    EXPECT_TRUE(w.menus().mnuVerTareasBrio->isChecked());
    EXPECT_EQ(w.windowTitle(), "Tareas Programadas de Brio");
    EXPECT_EQ(w.tasks()->count(), 0);
}

TEST_F(ViewTest, UnreadableSchedulerTasksAreToldOnceAndLeftOut) {
    AddSystemTask("Buena", "/bin/sh");
    WriteText(store_ / "Rota.job", "<no es una tarea");
    frmAdmin& w = Open();
    TakeMessages();
    w.menus().mnuVerTareasSistema->trigger();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Buena"}));
    const std::vector<std::string> shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("no se pueden leer"), std::string::npos);
    EXPECT_NE(shown[0].find("Rota.job"), std::string::npos);
    w.menus().mnuVerActualizar->trigger();
    EXPECT_TRUE(TakeMessages().empty()) << "the same files are not reported at every refresh";
    EXPECT_EQ(ReadText(store_ / "Rota.job"), "<no es una tarea");
}

} // namespace brio::test
