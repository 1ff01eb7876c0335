// The main window over a list file of 10,000 or 100,000 entries and a task store of as many tasks, on the
// offscreen platform: refilling either view (F5), the first switch to the system view, the bulk commands
// over every row checked, applying and saving a saved selection (Ctrl+G) and marking all rows. Each runs
// with one load of the list file (and one save); for comparison, the same reading done row by row with
// GetXMLAttr. Import, export and repair with the account checked by the host's logon, here a pam_wrapper
// test service of the bench's own (the program starts itself again under pam_wrapper; the host's PAM
// files are never read), and what the task store alone takes of them; the launcher generation from a
// SQLite warehouse database read through the ODBC driver, as the suite's settings name it.
#include "AdminListFile.h"
#include "AdminMenus.h"
#include "AdminToolbar.h"
#include "AtomicFile.h"
#include "EmbeddedDefaults.h"
#include "MsgBox.h"
#include "SelectionMarks.h"
#include "TaskListModel.h"
#include "TaskPopupMenu.h"
#include "TaskStore.h"
#include "clsDataAlmacen.h"
#include "frmAdmin.h"
#if BRIO_BENCH_ACCOUNTS
#include "AccountPrompt.h"
#include "PamTestEnv.h"
#endif

#include <QAction>

#include <QApplication>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

// The one account the bench's logon service accepts.
constexpr const char* kUser = "operador";
constexpr const char* kPassword = "Clave-banco-1";

// Every flag of an entry, as the program writes them.
const std::string kConfig =
    "<CONFIGURACION deleteWhenDone=\"0\" disabled=\"0\" dontStartIfOnBatteries=\"0\" hidden=\"0\" "
    "interactive=\"0\" killIfGoingOnBatteries=\"0\" killOnIdleEnd=\"0\" restartOnIdleResume=\"0\" "
    "runIfConnectedToInternet=\"0\" runOnlyIfDocked=\"0\" runOnlyIfLoggedOn=\"0\" startOnlyIfIdle=\"0\" "
    "systemRequired=\"0\"/>";

struct Fixture {
    int entries;
    fs::path root, home, drive, tasks;
    std::unique_ptr<brio::frmAdmin> window;

    explicit Fixture(int count) : entries(count) {
        std::string pattern = (fs::temp_directory_path() / "brio-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        home = root / "home";
        drive = root / "c";
        tasks = root / "tasks";
        fs::create_directories(home);
        fs::create_directories(drive / "BRIO/VELMORAX/bin");
        for (int p = 0; p < 100; ++p)
            std::ofstream(drive / "BRIO/VELMORAX/bin" / ("prog" + std::to_string(p) + ".exe")) << "x";
        std::string xml = "<TAREAS briopath=\"\">";
        for (int i = 0; i < entries; ++i) {
            const std::string prog = "C:\\BRIO\\VELMORAX\\bin\\prog" + std::to_string(i % 100) + ".exe";
            xml +=
                "<TAREA name=\"Tarea " + std::to_string(i) + "\" applicationName=\"" + prog +
                "\" workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"\" selected=\"" +
                (i % 7 == 0 ? "1" : "0") + "\" disabled=\"" + (i % 5 == 0 ? "1" : "0") +
                "\" text=\"A las 2:00 todos los días, a partir del 08/12/2026\" Seleccion=\"" +
                std::to_string(i % 16) + "\">" + kConfig +
                "<TRIGGERS><TRIGGER "
                "triggerType=\"1\" typeDescription=\"DailyTrigger\" BeginDay=\"08/12/2026 00:00:00\" "
                "StartTime=\"30/12/1899 02:00:00\" Duration=\"0\" EndDay=\"30/12/1899 00:00:00\" "
                "Interval=\"0\" Flags=\"0\" RandomInterval=\"0\" Daily_Interval=\"1\"/></TRIGGERS></TAREA>";
        }
        xml += "</TAREAS>";
        std::ofstream(home / "TaskConfig.XML", std::ios::binary) << xml;
        std::ofstream(home / "Seleccion.ini", std::ios::binary) << "2\tFin de mes\r\n";
        ::setenv("BRIOSCHEDULE_DRIVES", ("C:=" + drive.string()).c_str(), 1);
        // The store holds a task of each entry's name: copies of one task file.
        {
            brio::TaskStore s(tasks);
            s.Refresh();
            brio::SchedTaskPtr t = s.NewTask("Modelo");
            t->setApplicationName("C:\\BRIO\\VELMORAX\\bin\\prog0.exe");
            brio::SchedTrigger& trig = t->Triggers().Add();
            trig.setTriggerType(brio::trigger::Daily);
            trig.setBeginDay(brio::MakeDate(2026, 12, 8));
            trig.setStartTime(brio::MakeDate(1899, 12, 30, 2, 0));
            t->Save(0);
        }
        for (int i = 0; i < entries; ++i)
            fs::copy_file(tasks / "Modelo.job", tasks / ("Tarea " + std::to_string(i) + ".job"));
        fs::remove(tasks / "Modelo.job");

        brio::MsgBox::setScripted(true);
        window = std::make_unique<brio::frmAdmin>(home, brio::MakeTaskStoreFactory(tasks));
        window->show();
        QCoreApplication::processEvents();
    }
    ~Fixture() {
        window.reset();
        fs::remove_all(root);
    }

#if BRIO_BENCH_ACCOUNTS
    // The account is asked for once for the window's life, by its first command that needs one: here an
    // import of one task, before any clock runs.
    void storeAccount() {
        if (!window->StoredUser().empty())
            return;
        window->mnuVerTareasSistema_Click();
        window->tasks()->SetAllChecked(false);
        window->tasks()->SetChecked(0, true);
        brio::MsgBox::queueAnswer(QMessageBox::Yes);
        brio::AccountPrompt::queueAccount(kUser, kPassword);
        window->menus().mnuTareasImportar->trigger();
        QCoreApplication::processEvents();
        brio::MsgBox::clearLog();
        if (window->StoredUser() != kUser)
            throw std::runtime_error("the bench's logon service refused its account");
    }
#endif
};

// One window at a time: the fixture of the size asked for, made anew when the size changes; gone before
// the application.
std::unique_ptr<Fixture> g_fixture;

Fixture& fixture(const benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    if (!g_fixture || g_fixture->entries != entries) {
        g_fixture.reset();
        g_fixture = std::make_unique<Fixture>(entries);
    }
    g_fixture->window->mnuVerTareasBrio_Click();
    QCoreApplication::processEvents();
    return *g_fixture;
}

// Runs one step and lets the window lay out and paint what changed.
template <typename Fn> void step(Fn&& fn) {
    fn();
    QCoreApplication::processEvents();
}

void BM_RefillListFileView(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    for (auto _ : state)
        step([&] { w.mnuVerTareasBrio_Click(); });
    state.counters["rows"] = w.tasks()->count();
}

void BM_ApplySavedSelection(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    for (auto _ : state)
        step([&] { w.mnuSeleccionOP_Click(2); });
    state.counters["checked"] = w.tasks()->CheckedCount();
}

// With a saved selection checked in the menu, a refill applies it again.
void BM_RefillListFileViewWithSelection(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    w.mnuSeleccionOP_Click(2);
    for (auto _ : state)
        step([&] { w.mnuVerTareasBrio_Click(); });
}

void BM_SaveSelection(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    w.mnuSeleccionOP_Click(2);
    for (auto _ : state) {
        step([&] { w.SaveSelection(); });
        brio::MsgBox::clearLog();
    }
}

void BM_MarkAll(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    for (auto _ : state)
        step([&] { w.mnuSeleccionOP_Click(0); });
}

// The row-by-row reading the faster way replaces: one load of the list file per row. Timed on the first
// 100 rows; the counter gives the figure for all rows.
void BM_ApplySavedSelectionRowByRow(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    brio::AdminListFile list(fixture(state).home);
    const brio::NameList names = brio::SelectionMarks::RowNames(*w.tasks());
    constexpr int kRows = 100;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < kRows; ++r)
            benchmark::DoNotOptimize(list.GetXMLAttr(names[static_cast<std::size_t>(r)], "Seleccion"));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    // The time the row-by-row reading would take for every row of the list.
    state.counters["all_rows_s"] =
        seconds / static_cast<double>(state.iterations()) * static_cast<double>(names.size()) / kRows;
}

void BM_RefreshSystemView(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    step([&] { w.mnuVerTareasSistema_Click(); });
    for (auto _ : state)
        step([&] { w.mnuVerActualizar_Click(); });
    state.counters["rows"] = w.tasks()->count();
}

// The first switch to the system view of a window and of a process: a new window on a copy of the store
// that nothing has read yet.
void BM_FirstSwitchToSystemView(benchmark::State& state) {
    Fixture& f = fixture(state);
    int copy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path fresh = f.root / ("copia" + std::to_string(copy++));
        fs::copy(f.tasks, fresh, fs::copy_options::recursive);
        auto window = std::make_unique<brio::frmAdmin>(f.home, brio::MakeTaskStoreFactory(fresh));
        window->show();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        step([&] { window->mnuVerTareasSistema_Click(); });
        state.PauseTiming();
        if (window->tasks()->count() != f.entries)
            state.SkipWithError("unexpected rows");
        window.reset();
        fs::remove_all(fresh);
        state.ResumeTiming();
    }
}

// "Deshabilitar todas" and "Habilitar todas" in turn with every row checked, in the list-file view (0) or
// the system view (1), with the reload that ends them.
void BM_EnableAllChecked(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    if (state.range(1) != 0)
        step([&] { w.mnuVerTareasSistema_Click(); });
    bool disable = true;
    for (auto _ : state) {
        state.PauseTiming();
        w.tasks()->SetAllChecked(true);
        state.ResumeTiming();
        step([&] {
            (disable ? w.mnuPopup()->mnuPopupDeshabilitarTodas : w.mnuPopup()->mnuPopupHabilitarTodas)
                ->trigger();
        });
        disable = !disable;
    }
    if (!brio::MsgBox::log().isEmpty())
        state.SkipWithError("the command reported an error");
}

// "Establer Rango Tiempo" on every row checked.
void BM_RangeAllChecked(benchmark::State& state) {
    brio::frmAdmin& w = *fixture(state).window;
    for (auto _ : state) {
        state.PauseTiming();
        w.tasks()->SetAllChecked(true);
        brio::MsgBox::clearLog();
        brio::MsgBox::queueInput(QStringLiteral("15"));
        state.ResumeTiming();
        step([&] { w.menus().mnuTareasRangoTiempo->trigger(); });
    }
    if (brio::MsgBox::log().isEmpty() || brio::MsgBox::log().back().text != "Operacion realizada con exito.")
        state.SkipWithError("the command did not succeed");
    brio::MsgBox::clearLog();
}

// Whether the last box a command showed is its success message; otherwise the run is marked failed.
bool succeeded(benchmark::State& state, const QString& success) {
    const QList<brio::MsgBox::Shown> shown = brio::MsgBox::log();
    const bool ok = !shown.isEmpty() && shown.back().text == success;
    if (!ok)
        state.SkipWithError(("the command did not succeed: " +
                             (shown.isEmpty() ? std::string("no box") : shown.back().text.toStdString()))
                                .c_str());
    brio::MsgBox::clearLog();
    return ok;
}

#if BRIO_BENCH_ACCOUNTS
// One of the window's commands that need the account, with every row of the view (the list file or the
// scheduler) checked and its confirmation, when it asks one, answered Yes.
void runAccountCommand(benchmark::State& state, bool systemView, QAction* (*action)(brio::frmAdmin&),
                       bool confirm, const QString& success) {
    Fixture& f = fixture(state);
    f.storeAccount();
    brio::frmAdmin& w = *f.window;
    step([&] { systemView ? w.mnuVerTareasSistema_Click() : w.mnuVerTareasBrio_Click(); });
    // The window's own per-row work in these commands: taking the checked names.
    w.tasks()->SetAllChecked(true);
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(w.GetCheckedTaskNames());
    state.counters["checked_names_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (auto _ : state) {
        state.PauseTiming();
        w.tasks()->SetAllChecked(true);
        brio::MsgBox::clearLog();
        if (confirm)
            brio::MsgBox::queueAnswer(QMessageBox::Yes);
        state.ResumeTiming();
        step([&] { action(w)->trigger(); });
        state.PauseTiming();
        if (!succeeded(state, success))
            break;
        state.ResumeTiming();
    }
    state.counters["rows"] = w.tasks()->count();
}

// "Importar Tareas desde Window" with every scheduler task checked: each entry rebuilt from its task, the
// list file saved once.
void BM_ImportAllChecked(benchmark::State& state) {
    runAccountCommand(
        state, true, [](brio::frmAdmin& w) { return w.menus().mnuTareasImportar; }, true,
        QStringLiteral("Las tareas fueron importadas con exito."));
}

// "Exportar Tareas a Window" with every entry checked: each task saved anew in the store with the account.
void BM_ExportAllChecked(benchmark::State& state) {
    runAccountCommand(
        state, false, [](brio::frmAdmin& w) { return w.menus().mnuTareasExportar; }, true,
        QStringLiteral("Las tareas fueron exportadas con exito."));
}

// "Reparar Tareas": the key folders (none here) and the account applied to every task of the store.
void BM_Repair(benchmark::State& state) {
    runAccountCommand(
        state, true, [](brio::frmAdmin& w) { return w.menus().mnuTareasReparar; }, false,
        QStringLiteral("Las tareas fueron reparadas con exito."));
}

// The store's share of those commands, without the window or the list file: every task of the store
// read by name (range(1) = 0, what an import reads), or saved anew with the account and one flush at the
// end, what a repair writes and about what an export writes: one save after the other (1), or in one
// batch as the commands save (2).
void BM_StoreAlone(benchmark::State& state) {
    Fixture& f = fixture(state);
    const bool save = state.range(1) != 0;
    const bool batch = state.range(1) == 2;
    brio::NameList names;
    for (int i = 0; i < f.entries; ++i)
        names.push_back("Tarea " + std::to_string(i));
    for (auto _ : state) {
        brio::TaskStore store(f.tasks);
        if (!save) {
            for (const std::string& name : names)
                benchmark::DoNotOptimize(store.Item(name));
            continue;
        }
        store.Refresh();
        if (batch)
            store.BeginBatch();
        for (int i = 1; i <= store.Count(); ++i) {
            brio::SchedTaskPtr task = store.Item(i);
            task->SetAccountInformation(kUser, kPassword);
            task->Save(0);
        }
        store.Flush();
    }
}
#endif

void makeSqliteDatabase(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    const int opened = sqlite3_open(file.c_str(), &db);
    char* message = nullptr;
    const int rc = opened == SQLITE_OK ? sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) : opened;
    const std::string detail = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("warehouse database: " + detail);
}

// The Harbinex button: one batch file and one task per remote warehouse, from the template entry
// "Harbinex". A program folder of its own (the fixture's list file with the template added, a database
// of range(1) remote warehouses) and a store of its own, emptied before each run so that every run makes
// every launcher anew.
void BM_GenerateLaunchers(benchmark::State& state) {
    Fixture& f = fixture(state);
    const fs::path home = f.root / "generacion";
    const fs::path store = f.root / "lanzadores";
    const fs::path launchers = f.drive / "BRIO/VELMORAX/hx";
    fs::create_directories(home);
    {
        std::string xml = brio::ReadWholeFile(f.home / "TaskConfig.XML");
        xml.insert(xml.rfind("</TAREAS>"),
                   "<TAREA name=\"Harbinex\" applicationName=\"C:\\BRIO\\VELMORAX\\hx\\harbinex.exe\" "
                   "workingDirectory=\"C:\\BRIO\\VELMORAX\\hx\" commandLine=\"\" selected=\"0\" "
                   "disabled=\"0\">" +
                       kConfig +
                       "<TRIGGERS><TRIGGER triggerType=\"1\" BeginDay=\"08/12/2026 00:00:00\" "
                       "StartTime=\"30/12/1899 02:00:00\" Duration=\"0\" EndDay=\"30/12/1899 00:00:00\" "
                       "Interval=\"0\" Flags=\"0\" RandomInterval=\"0\" Daily_Interval=\"1\"/></TRIGGERS>"
                       "</TAREA>");
        std::ofstream(home / "TaskConfig.XML", std::ios::binary) << xml;
    }
    std::string sql = "CREATE TABLE Almacenes (Codigo INTEGER, Nombre TEXT, Remoto INTEGER);BEGIN;";
    const int warehouses = static_cast<int>(state.range(1));
    for (int i = 1; i <= warehouses; ++i)
        sql +=
            "INSERT INTO Almacenes VALUES (" + std::to_string(i) + ",'Almacen" + std::to_string(i) + "',1);";
    sql += "COMMIT;";
    makeSqliteDatabase(home / "almacenes.db", sql);
    std::ofstream(home / "SuiteSettings.ini", std::ios::binary)
        << "[Velmorax]\r\nConnectionText="
        << brio::EncodeWarehouseConnection(brio::SqliteConnectionString(home / "almacenes.db"))
        << "\r\nConnectionTimeout=5\r\nCommandTimeout=5\r\n";

    auto window = std::make_unique<brio::frmAdmin>(home, brio::MakeTaskStoreFactory(store));
    window->show();
    QCoreApplication::processEvents();
    QAction* button = window->Toolbar1()->Button(QLatin1String(brio::AdminToolbar::kHarbinex));
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(store);
        fs::remove_all(launchers);
        fs::create_directories(launchers);
        brio::MsgBox::clearLog();
        brio::MsgBox::queueAnswer(QMessageBox::Yes);
        state.ResumeTiming();
        step([&] { button->trigger(); });
        state.PauseTiming();
        if (!succeeded(state, QStringLiteral("Las tareas fueron generadas con exito")))
            break;
        state.ResumeTiming();
    }
    state.counters["launchers"] =
        static_cast<double>(std::distance(fs::directory_iterator(launchers), fs::directory_iterator()));
    window.reset();
    fs::remove_all(home);
    fs::remove_all(store);
    fs::remove_all(launchers);
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_RefillListFileView)->Apply(Sizes);
BENCHMARK(BM_RefreshSystemView)->Apply(Sizes);
BENCHMARK(BM_FirstSwitchToSystemView)->Apply(Sizes)->Iterations(2);
// Every task of the store saved anew in the system view: measured at 10,000 only.
BENCHMARK(BM_EnableAllChecked)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->ArgNames({"entries", "view"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);
BENCHMARK(BM_RangeAllChecked)->Apply(Sizes)->Iterations(4);
BENCHMARK(BM_ApplySavedSelection)->Apply(Sizes);
BENCHMARK(BM_RefillListFileViewWithSelection)->Apply(Sizes);
BENCHMARK(BM_SaveSelection)->Apply(Sizes);
BENCHMARK(BM_MarkAll)->Apply(Sizes);
BENCHMARK(BM_ApplySavedSelectionRowByRow)->Apply(Sizes)->Iterations(3);
// The commands that change the list file or the store last, each on a window of its own size; CPU is the
// whole process's, so that wall minus CPU is the time spent waiting, mostly for the disk.
#if BRIO_BENCH_ACCOUNTS
BENCHMARK(BM_ImportAllChecked)->Apply(Sizes)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_ExportAllChecked)->Apply(Sizes)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_Repair)->Apply(Sizes)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_StoreAlone)
    ->ArgsProduct({{10000, 100000}, {0, 1, 2}})
    ->ArgNames({"entries", "save"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
#endif
// Generation of many launchers: 100 warehouses at both list sizes, and 10,000 on the smaller list.
BENCHMARK(BM_GenerateLaunchers)
    ->Args({10000, 100})
    ->Args({100000, 100})
    ->ArgNames({"entries", "warehouses"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_GenerateLaunchers)
    ->Args({10000, 10000})
    ->ArgNames({"entries", "warehouses"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

int main(int argc, char** argv) {
#if BRIO_BENCH_ACCOUNTS
    // The host's logon is a test service in a temporary folder; the host's PAM files are never read.
    brio::test::RunUnderPamWrapper(argv);
    qputenv("BRIOSCHEDULE_PAM_SERVICE", "brioschedule");
    const brio::test::PamServices services({std::string(kUser) + ":" + kPassword + ":brioschedule"});
    brio::AccountPrompt::setScripted(true);
#endif
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_fixture.reset();
    return 0;
}
