// The main window over a list file of 10,000 entries, on the offscreen platform: refilling the
// list-file view, applying and saving a saved selection (Ctrl+G) and marking all rows. Each runs with one
// load of the list file (and one save); for comparison, the same reading done row by row with GetXMLAttr.
#include "AdminListFile.h"
#include "MsgBox.h"
#include "SelectionMarks.h"
#include "TaskListModel.h"
#include "TaskStore.h"
#include "frmAdmin.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 10000;

struct Fixture {
    fs::path root, home, drive, tasks;
    std::unique_ptr<brio::frmAdmin> window;

    Fixture() {
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
        for (int i = 0; i < kEntries; ++i) {
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

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Runs one step and lets the window lay out and paint what changed.
template <typename Fn> void step(Fn&& fn) {
    fn();
    QCoreApplication::processEvents();
}

void BM_RefillListFileView(benchmark::State& state) {
    brio::frmAdmin& w = *fixture().window;
    for (auto _ : state)
        step([&] { w.mnuVerTareasBrio_Click(); });
    state.counters["rows"] = w.tasks()->count();
}

void BM_ApplySavedSelection(benchmark::State& state) {
    brio::frmAdmin& w = *fixture().window;
    for (auto _ : state)
        step([&] { w.mnuSeleccionOP_Click(2); });
    state.counters["checked"] = w.tasks()->CheckedCount();
}

// With a saved selection checked in the menu, a refill applies it again.
void BM_RefillListFileViewWithSelection(benchmark::State& state) {
    brio::frmAdmin& w = *fixture().window;
    w.mnuSeleccionOP_Click(2);
    for (auto _ : state)
        step([&] { w.mnuVerTareasBrio_Click(); });
}

void BM_SaveSelection(benchmark::State& state) {
    brio::frmAdmin& w = *fixture().window;
    w.mnuSeleccionOP_Click(2);
    for (auto _ : state) {
        step([&] { w.SaveSelection(); });
        brio::MsgBox::clearLog();
    }
}

void BM_MarkAll(benchmark::State& state) {
    brio::frmAdmin& w = *fixture().window;
    for (auto _ : state)
        step([&] { w.mnuSeleccionOP_Click(0); });
}

// The row-by-row reading the faster way replaces: one load of the list file per row. Timed on the first
// 100 rows; the counter gives the figure for all rows.
void BM_ApplySavedSelectionRowByRow(benchmark::State& state) {
    brio::frmAdmin& w = *fixture().window;
    brio::AdminListFile list(fixture().home);
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

} // namespace

BENCHMARK(BM_RefillListFileView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplySavedSelection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefillListFileViewWithSelection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSelection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MarkAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplySavedSelectionRowByRow)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
