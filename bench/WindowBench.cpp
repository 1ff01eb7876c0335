// The main window over a list file of 10,000 or 100,000 entries and a task store of as many tasks, on the
// offscreen platform: refilling either view (F5), the first switch to the system view, the bulk commands
// over every row checked, applying and saving a saved selection (Ctrl+G) and marking all rows. Each runs
// with one load of the list file (and one save); for comparison, the same reading done row by row with
// GetXMLAttr.
#include "AdminListFile.h"
#include "AdminMenus.h"
#include "MsgBox.h"
#include "SelectionMarks.h"
#include "TaskListModel.h"
#include "TaskPopupMenu.h"
#include "TaskStore.h"
#include "frmAdmin.h"

#include <QAction>

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

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
                std::to_string(i % 16) +
                "\"><CONFIGURACION deleteWhenDone=\"0\" disabled=\"0\" hidden=\"0\"/><TRIGGERS><TRIGGER "
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

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_fixture.reset();
    return 0;
}
