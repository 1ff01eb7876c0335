// "Historial de ejecuciones": a task's runs as the runner's own state code wrote them, their output, and
// the bad state files and logs a host can hold.
#include "WindowFixture.h"

#include "AdminMenus.h"
#include "ModalDriver.h"
#include "RunHistoryDialog.h"
#include "RunHistoryView.h"
#include "RunLogTail.h"
#include "RunnerLink.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskPopupMenu.h"
#include "TaskPropertiesDialog.h"
#include "TaskStore.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <fstream>
#include <unistd.h>

namespace brio::test {

namespace {

using namespace std::chrono_literals;

class RunHistoryTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetRunnerStoreFolder(store_.path());
        state_.Open(::geteuid());
        AddSystemTask("Copia", "/bin/true");
    }
    void TearDown() override {
        SetRunnerStoreFolder(TaskStore::DefaultFolder());
        WindowTest::TearDown();
    }
    // A log file with these bytes; its path.
    std::string Log(const std::string& name, const std::string& bytes) {
        const std::filesystem::path file = home_ / (name + ".log");
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    static RunRecord Run(std::int64_t start, std::string_view result, std::optional<int> code,
                         std::optional<int> signal, std::string reason, std::string log) {
        return RunRecord{std::chrono::sys_seconds(std::chrono::seconds(start)),
                         std::chrono::sys_seconds(std::chrono::seconds(start + 75)),
                         std::string(result),
                         code,
                         signal,
                         std::move(reason),
                         std::move(log)};
    }
    static QString Text(const QTableWidget& t, int row, int column) {
        const QTableWidgetItem* item = t.item(row, column);
        return item ? item->text() : QString();
    }

    StateFolder state_{StateFolder::For(store_.path())};
};

TEST_F(RunHistoryTest, ListsTheRunsNewestFirstWithTheOutputOfTheOneSelected) {
    // The last MiB begins inside the "é": the half character is left out.
    const std::string big = "\xC3\xA9" + std::string(RunLogTail::kDefaultLimit - 5, 'a') + "FIN\n";
    struct Case {
        const char* what;
        std::string log;    // the run's log file; empty: none
        const char* starts; // what the output shown starts with
        const char* holds;  // and holds
    };
    const Case cases[] = {
        {"una salida UTF-8", Log("utf8", "línea 1\nlínea 2\n"), "línea 1\nlínea 2", "línea 2"},
        {"una salida que no es UTF-8", Log("latin1", "caf\xE9 y m\xE1s\n"), "caf\xEF\xBF\xBD y m",
         "\xEF\xBF\xBD"},
        {"una salida de más de un MiB", Log("grande", big),
         "[… solo se muestra el último MiB de una salida de 1048577 bytes …]\naaa", "FIN"},
        {"un registro que ya no existe", (home_ / "borrado.log").string(), "No se puede leer el registro «",
         "No existe"},
        {"una ejecución sin registro", "", "Esta ejecución no tiene salida registrada.", ""},
    };
    TaskState state;
    std::int64_t start = 1893466800;
    for (const Case& c : cases)
        state.Add(Run(start += 3600, runresult::error, 3, std::nullopt, "Terminó con el código 3", c.log));
    state.Add(Run(start += 3600, runresult::killed, std::nullopt, 15, "finalizada", ""));
    state_.Write("Copia", state);

    RunHistoryView view(state_, "Copia");
    const QTableWidget& t = *view.tblEjecuciones;
    ASSERT_EQ(t.rowCount(), static_cast<int>(std::size(cases)) + 1);
    EXPECT_EQ(Text(t, 0, 3), "Finalizada");
    EXPECT_EQ(Text(t, 0, 4), "señal 15");
    EXPECT_EQ(Text(t, 1, 2), "1 min 15 s");
    EXPECT_EQ(Text(t, 1, 3), "Código 3");
    EXPECT_EQ(Text(t, 1, 4), "código 3");
    EXPECT_EQ(Text(t, 1, 5), "Terminó con el código 3");
    EXPECT_TRUE(view.txtSalida->isReadOnly());
    EXPECT_TRUE(QFontInfo(view.txtSalida->font()).fixedPitch());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        view.tblEjecuciones->setCurrentCell(static_cast<int>(std::size(cases) - i), 0);
        const QString shown = view.txtSalida->toPlainText();
        EXPECT_TRUE(shown.startsWith(QString::fromUtf8(c.starts))) << shown.left(200).toStdString();
        EXPECT_TRUE(shown.contains(QString::fromUtf8(c.holds)));
        EXPECT_LE(shown.size(), static_cast<qsizetype>(RunLogTail::kDefaultLimit + 200));
    }
}

TEST_F(RunHistoryTest, BadOrMissingStateIsToldAndANewRunShowsWhileOpen) {
    RunHistoryView view(state_, "Copia");
    EXPECT_EQ(view.lblEstado->text(), "No hay ninguna ejecución registrada.");
    EXPECT_EQ(view.tblEjecuciones->rowCount(), 0);

    // The runner records a run going, then its end, while the history is shown.
    TaskState state;
    state.running = RunningRun{std::chrono::sys_seconds(std::chrono::seconds(1893466800)), 1, ""};
    state_.Write("Copia", state);
    const auto waitRows = [&](int rows) {
        for (int i = 0; i < 150 && view.tblEjecuciones->rowCount() != rows; ++i)
            QTest::qWait(20);
        return view.tblEjecuciones->rowCount();
    };
    ASSERT_EQ(waitRows(1), 1);
    EXPECT_EQ(Text(*view.tblEjecuciones, 0, 3), "En ejecución");
    state.running.reset();
    state.Add(Run(1893466800, runresult::ok, 0, std::nullopt, "Terminó correctamente", ""));
    state.Add(Run(1893470400, runresult::launchFailed, std::nullopt, std::nullopt, "No existe", ""));
    state_.Write("Copia", state);
    ASSERT_EQ(waitRows(2), 2);
    EXPECT_EQ(Text(*view.tblEjecuciones, 0, 3), "No se pudo iniciar");
    EXPECT_EQ(Text(*view.tblEjecuciones, 1, 3), "Correcta");

    // A state file cut short is told, not taken for an empty history.
    const std::filesystem::path file = state_.Folder() / "tasks" / "Copia.state";
    const std::string whole = ReadText(file);
    std::filesystem::remove(file); // replaced as the runner does, so that the watch sees it
    WriteText(file, whole.substr(0, whole.size() / 2));
    view.Reload();
    EXPECT_TRUE(view.lblEstado->text().startsWith("No se puede leer el historial: "))
        << view.lblEstado->text().toStdString();
    EXPECT_EQ(view.tblEjecuciones->rowCount(), 0);
}

TEST_F(RunHistoryTest, OpensFromBothMenusAndThePropertyDialogForTasksInTheStoreOnly) {
    WriteList({{.name = "Copia"}, {.name = "Solo listado"}});
    TaskState state;
    state.Add(Run(1893466800, runresult::ok, 0, std::nullopt, "Terminó correctamente", ""));
    state_.Write("Copia", state);
    frmAdmin& w = Open();
    const auto select = [&](const char* name) {
        w.lvwTareas()->SetCurrentRow(w.tasks()->RowOfKey(QString::fromUtf8(name)));
        ASSERT_TRUE(w.PreparePopup());
    };
    select("Solo listado");
    EXPECT_FALSE(w.mnuPopup()->mnuPopupHistorial->isEnabled());
    select("Copia");
    ASSERT_TRUE(w.mnuPopup()->mnuPopupHistorial->isEnabled());
    for (QAction* item : {w.mnuPopup()->mnuPopupHistorial, w.menus().mnuTareasHistorial}) {
        int rows = -1;
        QString title;
        WhenModal<RunHistoryDialog> look([&](RunHistoryDialog* d) {
            title = d->windowTitle();
            rows = d->history->tblEjecuciones->rowCount();
            d->cmdCerrar->click();
        });
        item->trigger();
        EXPECT_TRUE(look.ran());
        EXPECT_EQ(title, "Historial de ejecuciones de «Copia»");
        EXPECT_EQ(rows, 1);
    }
    TaskStore store(store_.path());
    SchedTaskPtr task = store.Item("Copia");
    TaskPropertiesDialog dialog(*task);
    ASSERT_NE(dialog.historyView, nullptr);
    EXPECT_EQ(dialog.tabs->tabText(dialog.tabs->indexOf(dialog.historyView)), "Historial");
    EXPECT_EQ(dialog.historyView->tblEjecuciones->rowCount(), 1);
    // A run recorded while the dialog is open shows as its last run too.
    state.Add(Run(1893470400, runresult::launchFailed, std::nullopt, std::nullopt, "No existe", ""));
    state_.Write("Copia", state);
    for (int i = 0; i < 150 && dialog.historyView->tblEjecuciones->rowCount() != 2; ++i)
        QTest::qWait(20);
    EXPECT_EQ(dialog.historyView->tblEjecuciones->rowCount(), 2);
    EXPECT_TRUE(dialog.lblUltimaEjecucion->text().endsWith("(No existe)"))
        << dialog.lblUltimaEjecucion->text().toStdString();
    // A list entry edited through a stand-in shows its task's runs, when the runner recorded any.
    for (const auto& [name, shown] : {std::pair{"Copia", true}, std::pair{"Solo listado", false}}) {
        const TaskStandIn standIn{name, true};
        TaskPropertiesDialog entry(*task, nullptr, &standIn);
        EXPECT_EQ(entry.historyView != nullptr, shown) << name;
    }
}

} // namespace

} // namespace brio::test
