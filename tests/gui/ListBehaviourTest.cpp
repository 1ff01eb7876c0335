// What the list does with the keys and the mouse people expect: Enter and a double click open the
// properties, Delete deletes as the context menu does; the last column stretches and a cut text has its
// whole text as a tooltip.
#include "CommandFixture.h"
#include "ModalDriver.h"

#include "TaskPropertiesDialog.h"

#include <QHeaderView>
#include <QTest>

namespace brio::test {

namespace {

class ListBehaviourTest : public CommandTest {
protected:
    TaskListView& list() { return *window().lvwTareas(); }
    QPoint RowCentre(const std::string& name) {
        const int row = window().tasks()->RowOfKey(QString::fromStdString(name));
        return list().visualRect(window().tasks()->index(row, TaskListModel::ColState)).center();
    }
};

TEST_F(ListBehaviourTest, EnterAndADoubleClickOpenTheRowsProperties) {
    WriteList({{.name = "Copia"}, {.name = "Cierre"}});
    Open();
    AccountPrompt::queueAccount(kUser, kPassword);
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"Enter", [&] { QTest::keyClick(&list(), Qt::Key_Return); }},
        {"Intro del teclado numérico", [&] { QTest::keyClick(&list(), Qt::Key_Enter, Qt::KeypadModifier); }},
        {"doble clic",
         [&] { QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, RowCentre("Cierre")); }},
    };
    for (const auto& [way, act] : ways) {
        SCOPED_TRACE(way);
        Select("Cierre");
        QString title;
        WhenModal<TaskPropertiesDialog> edit([&](TaskPropertiesDialog* d) {
            title = d->windowTitle();
            d->reject();
        });
        act();
        EXPECT_TRUE(edit.ran());
        EXPECT_EQ(title, "Propiedades de la tarea Cierre");
    }
    // Enter with no current row opens nothing.
    Select("");
    WhenModal<TaskPropertiesDialog> never([](TaskPropertiesDialog* d) { d->reject(); });
    QTest::keyClick(&list(), Qt::Key_Return);
    QTest::qWait(20);
    EXPECT_FALSE(never.ran());
    EXPECT_TRUE(TakeShown().isEmpty());
}

TEST_F(ListBehaviourTest, DeleteAsksForTheMarkedRowsElseTheCurrentOneFromTheViewShown) {
    struct Case {
        const char* what;
        bool systemView;
        std::vector<std::string> marked;
        const char* question;
        std::vector<std::string> listed; // the list file's entries after it
        std::vector<std::string> stored; // the store's tasks after it
    };
    const Case cases[] = {
        {"la fila actual del listado",
         false,
         {},
         "La tarea [Cierre] será eliminada del listado de tareas de brio.\r\n¿Desea Continuar?",
         {"Copia", "Otra"},
         {"Cierre", "Copia", "Otra"}},
        {"las marcadas del listado",
         false,
         {"Copia", "Otra"},
         "Las 2 tareas marcadas serán eliminadas del listado de tareas de brio.\r\n¿Desea Continuar?",
         {"Cierre"},
         {"Cierre", "Copia", "Otra"}},
        {"la fila actual del sistema",
         true,
         {},
         "La tarea [Cierre] será eliminada de WINDOWS\r\n¿Desea Continuar?",
         {"Cierre", "Copia", "Otra"},
         {"Copia", "Otra"}},
        {"las marcadas del sistema",
         true,
         {"Copia", "Otra"},
         "Las 2 tareas marcadas serán eliminadas de WINDOWS\r\n¿Desea Continuar?",
         {"Cierre", "Copia", "Otra"},
         {"Cierre"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteList({{.name = "Cierre"}, {.name = "Copia"}, {.name = "Otra"}});
        for (const std::string& name : StoreNames()) {
            TaskStore store(store_.path());
            store.Remove(name);
        }
        for (const char* name : {"Cierre", "Copia", "Otra"})
            AddSystemTask(name, "/bin/true");
        Open();
        if (c.systemView)
            window().mnuVerTareasSistema_Click();
        Check(c.marked);
        Select("Cierre");
        QTest::keyClick(&list(), Qt::Key_Delete); // No: nothing goes
        MsgBox::queueAnswer(QMessageBox::Yes);
        QTest::keyClick(&list(), Qt::Key_Delete);
        const auto shown = TakeShown();
        ASSERT_EQ(shown.size(), 2);
        EXPECT_EQ(shown[0].text, QString::fromUtf8(c.question));
        EXPECT_EQ(shown[0].title, "Confirmación");
        std::vector<std::string> listed;
        for (const char* name : {"Cierre", "Copia", "Otra"})
            if (ListText().find(std::string("name=\"") + name + "\"") != std::string::npos)
                listed.push_back(name);
        EXPECT_EQ(listed, c.listed);
        std::vector<std::string> stored = StoreNames();
        std::sort(stored.begin(), stored.end());
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(Names(), c.systemView ? c.stored : c.listed); // the view shown, reloaded
    }
}

TEST_F(ListBehaviourTest, TheLastColumnStretchesAndACutTextHasItsWholeTextAsTooltip) {
    const std::string longText(160, 'x');
    WriteList({{.name = "Copia", .text = "Diaria " + longText}, {.name = "Corta", .text = "Diaria"}});
    Open();
    window().resize(1400, 700);
    QApplication::processEvents();
    const QHeaderView& header = *list().header();
    const int last = TaskListModel::ColSchedule;
    EXPECT_EQ(header.sectionViewportPosition(last) + header.sectionSize(last), list().viewport()->width());
    window().resize(500, 400);
    QApplication::processEvents();
    EXPECT_GE(header.sectionSize(last), header.minimumSectionSize());

    const TaskListModel& m = *window().tasks();
    const int cut = m.RowOfKey("Copia");
    const int whole = m.RowOfKey("Corta");
    EXPECT_EQ(list().CellTip(m.index(cut, last)), QString::fromStdString("Diaria " + longText));
    EXPECT_EQ(list().CellTip(m.index(whole, last)), "") << "a text shown whole needs no tooltip";
    window().resize(2600, 700); // now the long text fits
    QApplication::processEvents();
    EXPECT_EQ(list().CellTip(m.index(cut, last)), "");
}

} // namespace

} // namespace brio::test
