// The runner in the window: the status line against the real runner, the system view's runner columns
// and their header menu, and "Ejecutar ahora" and "Finalizar tarea" with their feedback.
#include "CommandFixture.h"

#include "ListColumns.h"
#include "RunnerControl.h"
#include "RunnerLink.h"
#include "RunnerStatusLine.h"
#include "RunnerWatch.h"
#include "TaskPopupMenu.h"

#include <QHeaderView>
#include <QMenu>
#include <QStatusBar>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace brio::test {

namespace {

using namespace std::chrono_literals;

// Processes the window's events until `done` holds, up to `limit`; true when it did.
template <typename Condition> bool waitUntil(Condition done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// The real runner on the test's store, in the foreground; ended with SIGTERM when the object goes.
class RunnerProcess {
public:
    explicit RunnerProcess(const std::filesystem::path& errors) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        char* argv[] = {const_cast<char*>(BRIO_RUNNER_PATH), nullptr};
        if (posix_spawn(&pid_, BRIO_RUNNER_PATH, &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~RunnerProcess() { Stop(); }
    pid_t pid() const { return pid_; }
    void Stop() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

class RunnerWindowTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        SetRunnerStoreFolder(store_.path());
        state_.Open(::geteuid());
    }
    void TearDown() override {
        SetRunnerStoreFolder(TaskStore::DefaultFolder());
        CommandTest::TearDown();
    }
    // A task of the store that starts every day at 3:00 from 2026.
    void AddDailyTask(const std::string& name) {
        AddSystemTask(name, "/bin/true");
        TaskStore store(store_.path());
        SchedTaskPtr task = store.Item(name);
        SchedTrigger& t = task->Triggers().Add();
        t.setTriggerType(trigger::Daily);
        t.setBeginDay(MakeDate(2026, 1, 1));
        t.setStartTime(MakeDate(2026, 1, 1, 3, 0));
        task->Save();
    }
    static RunRecord Run(std::int64_t start, std::string_view result, std::optional<int> code = {},
                         std::string reason = {}) {
        return RunRecord{std::chrono::sys_seconds(std::chrono::seconds(start)),
                         std::chrono::sys_seconds(std::chrono::seconds(start + 5)),
                         std::string(result),
                         code,
                         std::nullopt,
                         std::move(reason),
                         ""};
    }
    QString StatusLine() { return window().lblEjecutor()->text(); }
    std::string Cell(const std::string& name, int column) {
        const int row = window().tasks()->RowOfKey(QString::fromStdString(name));
        return row < 0 ? "?" : WindowTest::Cell(row, column);
    }

    StateFolder state_{StateFolder::For(store_.path())};
};

TEST_F(RunnerWindowTest, TheStatusLineFollowsARealRunnerStartingAndStopping) {
    AddDailyTask("Diaria");
    ScopedEnv tasks("BRIOSCHEDULE_TASKS", store_.path().string());
    Open();
    EXPECT_TRUE(StatusLine().startsWith("El ejecutor no está en marcha: las tareas no se ejecutarán."))
        << StatusLine().toStdString();
    EXPECT_TRUE(StatusLine().contains("systemctl start brioschedule-runner"));
    EXPECT_TRUE(window().lblEjecutor()->Warning());
    window().mnuVerTareasSistema_Click();
    EXPECT_TRUE(Cell("Diaria", TaskListModel::ColNext).ends_with(" 03:00:00 (sin ejecutor)"))
        << Cell("Diaria", TaskListModel::ColNext);

    RunnerProcess runner(home_ / "runner.err");
    ASSERT_GT(runner.pid(), 0);
    const QString running = QStringLiteral("Ejecutor en marcha (pid %1)").arg(runner.pid());
    // The runner writes the task's next start once it has read the store.
    ASSERT_TRUE(
        waitUntil([&] { return StatusLine().startsWith(running + " · Próximo inicio: «Diaria» el "); }, 5s))
        << StatusLine().toStdString() << "\n"
        << ReadText(home_ / "runner.err");
    EXPECT_TRUE(StatusLine().endsWith(" 03:00:00")) << StatusLine().toStdString();
    EXPECT_FALSE(window().lblEjecutor()->Warning());
    EXPECT_TRUE(
        waitUntil([&] { return !Cell("Diaria", TaskListModel::ColNext).ends_with("(sin ejecutor)"); }, 5s));

    runner.Stop();
    EXPECT_TRUE(waitUntil([&] { return window().lblEjecutor()->Warning(); }, 5s))
        << StatusLine().toStdString();
    EXPECT_TRUE(StatusLine().startsWith("El ejecutor no está en marcha"));
}

TEST_F(RunnerWindowTest, TheSystemViewShowsTheRunnersColumnsSortsThemAndHidesThemOnRequest) {
    struct Case {
        const char* name;
        std::vector<RunRecord> runs;
        bool running;
        const char* result;
    };
    const std::int64_t t0 = 1893466800; // 2030-01-01 01:00 UTC
    const Case cases[] = {
        {"Correcta", {Run(t0, runresult::ok, 0)}, false, "Correcta"},
        {"Código", {Run(t0 + 60, runresult::error, 3)}, false, "Código 3"},
        {"Finalizada", {Run(t0 + 120, runresult::killed)}, false, "Finalizada"},
        {"Omitida", {Run(t0 + 180, runresult::skipped)}, false, "Omitida"},
        {"Perdida", {Run(t0 + 240, runresult::missed)}, false, "Perdida"},
        {"Fallida", {Run(t0 + 300, runresult::launchFailed)}, false, "No se pudo iniciar"},
        {"Corriendo", {Run(t0 - 600, runresult::ok, 0)}, true, "En ejecución"},
        {"Nueva", {}, false, ""},
    };
    for (const Case& c : cases) {
        AddDailyTask(c.name);
        TaskState state;
        for (const RunRecord& run : c.runs)
            state.Add(run);
        if (c.running)
            state.running = RunningRun{std::chrono::sys_seconds(std::chrono::seconds(t0 + 400)), 1, ""};
        if (!c.runs.empty() || c.running)
            state_.Write(c.name, state);
    }
    Open();
    const QHeaderView& header = *window().lvwTareas()->header();
    for (int c = TaskListModel::kDescribedColumns; c < TaskListModel::ColumnCount; ++c)
        EXPECT_TRUE(header.isSectionHidden(c)) << "the list-file view shows the four columns only";
    window().mnuVerTareasSistema_Click();
    const std::vector<std::string> captions = {" Tareas programadas en ejecucion ",
                                               " Estado",
                                               " Rnd ",
                                               " Programación",
                                               "Próxima ejecución",
                                               "Última ejecución",
                                               "Resultado"};
    for (int c = 0; c < TaskListModel::ColumnCount; ++c) {
        EXPECT_EQ(window().tasks()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(),
                  captions[static_cast<std::size_t>(c)]);
        EXPECT_FALSE(header.isSectionHidden(c)) << c;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Cell(c.name, TaskListModel::ColResult), c.result);
        EXPECT_EQ(Cell(c.name, TaskListModel::ColState), ""); // " Estado" stays the enabled state
        EXPECT_EQ(Cell(c.name, TaskListModel::ColLast).empty(), c.runs.empty() && !c.running);
    }

    // A click on "Última ejecución" sorts by it, a second one the other way; rows without a run go last.
    QTest::mouseClick(window().lvwTareas()->header()->viewport(), Qt::LeftButton, {},
                      QPoint(header.sectionViewportPosition(TaskListModel::ColLast) + 5, 5));
    std::vector<std::string> expected = {"Correcta", "Código",  "Finalizada", "Omitida",
                                         "Perdida",  "Fallida", "Corriendo",  "Nueva"};
    Select("Fallida");
    ASSERT_EQ(Names(), expected);
    expected = {"Corriendo", "Fallida", "Perdida", "Omitida", "Finalizada", "Código", "Correcta", "Nueva"};
    QTest::mouseClick(window().lvwTareas()->header()->viewport(), Qt::LeftButton, {},
                      QPoint(header.sectionViewportPosition(TaskListModel::ColLast) + 5, 5));
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(window().lvwTareas()->CurrentText(), "Fallida") << "the current row stays the same task";
    // The described columns keep the store's order.
    window().mnuVerActualizar_Click();
    EXPECT_EQ(Names(), expected) << "a refresh keeps the sort";

    // The header's menu hides any column, and the choice outlives the window.
    QMenu* menu = window().Columns().HeaderMenu();
    ASSERT_EQ(menu->actions().size(), TaskListModel::ColumnCount);
    menu->actions()[TaskListModel::ColRnd]->trigger();
    menu->actions()[TaskListModel::ColResult]->trigger();
    EXPECT_TRUE(header.isSectionHidden(TaskListModel::ColRnd));
    EXPECT_TRUE(header.isSectionHidden(TaskListModel::ColResult));
    window_.reset();
    Open();
    window().mnuVerTareasSistema_Click();
    const QHeaderView& again = *window().lvwTareas()->header();
    EXPECT_TRUE(again.isSectionHidden(TaskListModel::ColRnd));
    EXPECT_TRUE(again.isSectionHidden(TaskListModel::ColResult));
    EXPECT_FALSE(again.isSectionHidden(TaskListModel::ColLast));
    window().Columns().HeaderMenu()->actions()[TaskListModel::ColRnd]->trigger();
    EXPECT_FALSE(again.isSectionHidden(TaskListModel::ColRnd));
}

TEST_F(RunnerWindowTest, EjecutarAhoraAndFinalizarActOnlyWhenTheyCanAndTellTheRunsEnd) {
    WriteList({{.name = "Copia"}, {.name = "Solo listado"}});
    AddDailyTask("Copia");
    AddDailyTask("Ocupada");
    const auto busySince = std::chrono::sys_seconds(std::chrono::seconds(1893466800));
    TaskState busy;
    busy.running = RunningRun{busySince, 1, ""};
    state_.Write("Ocupada", busy);
    Open();
    AdminMenus& m = window().menus();
    TaskPopupMenu& popup = *window().mnuPopup();
    struct Case {
        const char* name;
        bool runner;
        bool systemView;
        bool canRun;
        bool canEnd;
    };
    const Case cases[] = {
        {"Copia", false, false, false, false},       // no runner runs
        {"Copia", true, false, true, false},         // in the store and idle
        {"Solo listado", true, false, false, false}, // not in the store
        {"Ocupada", true, true, false, true},        // running
        {"Copia", true, true, true, false},          {"Ocupada", false, true, false, false},
    };
    std::optional<RunnerLock> lock;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.runner ? " with a runner" : " without a runner"));
        // A runner of this state folder: this test holds its lock and takes its requests.
        if (c.runner && !lock)
            lock.emplace(state_);
        else if (!c.runner)
            lock.reset();
        window().Runner().CheckNow();
        if (c.systemView)
            window().mnuVerTareasSistema_Click();
        else
            window().mnuVerTareasBrio_Click();
        Select(c.name);
        EXPECT_TRUE(window().PreparePopup());
        const bool canRun = popup.mnuPopupEjecutar->isEnabled();
        const bool canEnd = popup.mnuPopupFinalizar->isEnabled();
        m.mnuTareas->aboutToShow();
        EXPECT_EQ(canRun, c.canRun);
        EXPECT_EQ(canEnd, c.canEnd);
        EXPECT_EQ(m.mnuTareasEjecutar->isEnabled(), canRun);
        EXPECT_EQ(m.mnuTareasFinalizar->isEnabled(), canEnd);
    }
    EXPECT_EQ(Cell("Ocupada", TaskListModel::ColResult), "En ejecución");
    // Asked with no runner, or of a task that is not running, each says why and asks nothing.
    EXPECT_EQ(AskRunnerToEnd("Ocupada").text,
              "El ejecutor no está en marcha: no se puede pedir que finalice «Ocupada»; " +
                  HowToStartRunner() + ".");
    lock.emplace(state_);
    window().Runner().CheckNow();
    const RunRequestAnswer idle = AskRunnerToEnd("Copia");
    EXPECT_FALSE(idle.asked);
    EXPECT_EQ(idle.text, "La tarea «Copia» no está en ejecución: no hay nada que finalizar.");
    EXPECT_TRUE(TakeRequests(state_).empty());

    // "Finalizar tarea" asks the runner; the status bar says so, then how the run ended.
    std::vector<RunnerRequest> ending;
    std::thread ender([&] {
        for (int i = 0; i < 300 && ending.empty(); ++i) {
            ending = TakeRequests(state_);
            std::this_thread::sleep_for(10ms);
        }
    });
    Select("Ocupada");
    ASSERT_TRUE(window().PreparePopup());
    popup.mnuPopupFinalizar->trigger();
    ender.join();
    EXPECT_EQ(ending, (std::vector<RunnerRequest>{{RequestKind::End, "Ocupada"}}));
    EXPECT_EQ(
        window().statusBar()->currentMessage(),
        QStringLiteral("Se ha pedido al ejecutor (proceso %1) que finalice «Ocupada».").arg(::getpid()));
    TaskState killed;
    killed.Add(Run(busySince.time_since_epoch().count(), runresult::killed, std::nullopt,
                   "finalizada por el administrador"));
    state_.Write("Ocupada", killed);
    EXPECT_TRUE(waitUntil(
        [&] {
            return window().statusBar()->currentMessage() ==
                   "«Ocupada» ha terminado: Finalizada (finalizada por el administrador)";
        },
        3s))
        << window().statusBar()->currentMessage().toStdString();
    EXPECT_EQ(Cell("Ocupada", TaskListModel::ColResult), "Finalizada");

    Select("Copia");
    m.mnuTareas->aboutToShow();
    std::vector<RunnerRequest> taken;
    std::thread runner([&] {
        for (int i = 0; i < 300 && taken.empty(); ++i) {
            taken = TakeRequests(state_);
            std::this_thread::sleep_for(10ms);
        }
    });
    m.mnuTareasEjecutar->trigger();
    runner.join();
    EXPECT_EQ(taken, (std::vector<RunnerRequest>{{RequestKind::Run, "Copia"}}));
    EXPECT_EQ(window().statusBar()->currentMessage(),
              QStringLiteral("Se ha pedido al ejecutor (proceso %1) que inicie «Copia».").arg(::getpid()));

    // The runner records the run going, then its end: the row and the status bar follow by themselves.
    TaskState going;
    going.running = RunningRun{std::chrono::sys_seconds(std::chrono::seconds(1893470000)), 2, ""};
    state_.Write("Copia", going);
    EXPECT_TRUE(waitUntil([&] { return Cell("Copia", TaskListModel::ColResult) == "En ejecución"; }, 3s));
    TaskState ended;
    ended.Add(Run(1893470000, runresult::error, 3, "Terminó con el código 3"));
    state_.Write("Copia", ended);
    EXPECT_TRUE(waitUntil([&] { return Cell("Copia", TaskListModel::ColResult) == "Código 3"; }, 3s));
    EXPECT_EQ(window().statusBar()->currentMessage(),
              "«Copia» ha terminado: Código 3 (Terminó con el código 3)");
}

} // namespace

} // namespace brio::test
