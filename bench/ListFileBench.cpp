// The list file with 10,000 or 100,000 entries whose programs all exist: reading it against a bare pugixml
// load of the same file, formatting it against a plain copy of the file, and the command line's `range` on
// one name (one load, one attribute, one save under the writers' lock).
#include "AdminListFile.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

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
    fs::path root;
    fs::path home;
    fs::path drive;
    std::string unformatted;

    explicit Fixture(int count) : entries(count) {
        std::string pattern = (fs::temp_directory_path() / "brio-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        home = root / "home";
        drive = root / "c";
        fs::create_directories(home);
        fs::create_directories(drive / "BRIO/VELMORAX/bin");
        for (int p = 0; p < 100; ++p)
            std::ofstream(drive / "BRIO/VELMORAX/bin" / ("prog" + std::to_string(p) + ".exe")) << "x";
        std::string xml = "<TAREAS briopath=\"\">";
        for (int i = 0; i < entries; ++i) {
            const std::string prog = "C:\\BRIO\\VELMORAX\\bin\\prog" + std::to_string(i % 100) + ".exe";
            xml += "<TAREA name=\"Tarea " + std::to_string(i) + "\" applicationName=\"" + prog +
                   "\" workingDirectory=\"C:\\BRIO\\VELMORAX\\bin\" commandLine=\"/n " + std::to_string(i) +
                   "\" selected=\"0\" disabled=\"0\" text=\"A las 2:00 todos los días, a partir del "
                   "08/12/2026\">"
                   "<CONFIGURACION deleteWhenDone=\"0\" disabled=\"0\" dontStartIfOnBatteries=\"0\" "
                   "hidden=\"0\" "
                   "interactive=\"0\" killIfGoingOnBatteries=\"0\" killOnIdleEnd=\"0\" "
                   "restartOnIdleResume=\"0\" "
                   "runIfConnectedToInternet=\"0\" runOnlyIfDocked=\"0\" runOnlyIfLoggedOn=\"0\" "
                   "startOnlyIfIdle=\"0\" systemRequired=\"0\"/><TRIGGERS><TRIGGER triggerType=\"1\" "
                   "typeDescription=\"DailyTrigger\" BeginDay=\"08/12/2026 00:00:00\" StartTime=\"30/12/1899 "
                   "02:00:00\" Duration=\"0\" EndDay=\"30/12/1899 00:00:00\" Interval=\"0\" Flags=\"0\" "
                   "RandomInterval=\"0\" Daily_Interval=\"1\"/></TRIGGERS></TAREA>";
        }
        xml += "</TAREAS>";
        unformatted = xml;
        std::ofstream(home / "TaskConfig.XML", std::ios::binary) << xml;
        ::setenv("BRIOSCHEDULE_DRIVES", ("C:=" + drive.string()).c_str(), 1);
    }
    ~Fixture() { fs::remove_all(root); }
    void restore() const {
        std::ofstream(home / "TaskConfig.XML", std::ios::binary | std::ios::trunc) << unformatted;
    }
};

Fixture& fixture(int entries = 10000) {
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    std::unique_ptr<Fixture>& f = fixtures[entries];
    if (!f)
        f = std::make_unique<Fixture>(entries);
    return *f;
}

void BM_BarePugixmlLoad(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    f.restore();
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(
            doc.load_file((f.home / "TaskConfig.XML").c_str(), pugi::parse_default | pugi::parse_ws_pcdata));
    }
}

void BM_GetXMLTaskList(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    f.restore();
    brio::AdminListFile list(f.home);
    for (auto _ : state) {
        const auto tasks = list.getXMLTaskList();
        if (static_cast<int>(tasks.size()) != f.entries || tasks.back().State() != 0)
            state.SkipWithError("unexpected list");
    }
}

void BM_PlainCopy(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    f.restore();
    for (auto _ : state)
        fs::copy_file(f.home / "TaskConfig.XML", f.root / "copia.XML", fs::copy_options::overwrite_existing);
}

void BM_RangeOneName(benchmark::State& state) {
    auto& f = fixture();
    f.restore();
    brio::AdminListFile list(f.home);
    for (auto _ : state)
        list.XMLRandomTime({"Tarea 5000"}, 15);
}

void BM_FormatXML(benchmark::State& state) {
    auto& f = fixture(static_cast<int>(state.range(0)));
    brio::AdminListFile list(f.home);
    for (auto _ : state) {
        state.PauseTiming();
        f.restore();
        state.ResumeTiming();
        list.FormatXML();
    }
}

} // namespace

BENCHMARK(BM_BarePugixmlLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetXMLTaskList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RangeOneName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatXML)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
