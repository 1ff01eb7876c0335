// The scheduler side with 10,000 tasks in the store: the system list against reading and parsing the same
// files with pugixml in a plain loop, one look-up by name, one attribute change, and exporting 1,000
// list entries.
#include "TaskStore.h"
#include "clsAdminTask.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Fixture {
    fs::path root, home, store;

    Fixture() {
        std::string pattern = (fs::temp_directory_path() / "brio-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        home = root / "home";
        store = root / "tasks";
        fs::create_directories(home);
        brio::TaskStore s(store);
        s.Refresh();
        for (int i = 0; i < 10000; ++i) {
            brio::SchedTaskPtr t = s.NewTask("Tarea " + std::to_string(i));
            t->setApplicationName("C:\\BRIO\\VELMORAX\\bin\\prog" + std::to_string(i % 100) + ".exe");
            t->setParameters("/n " + std::to_string(i));
            brio::SchedTrigger& trig = t->Triggers().Add();
            trig.setTriggerType(brio::trigger::Daily);
            trig.setBeginDay(brio::MakeDate(2026, 12, 8));
            trig.setStartTime(brio::MakeDate(1899, 12, 30, 2, 0));
            t->Save(0);
        }
        // The list file holds the first 1,000 of them, for the export.
        brio::clsAdminTask admin(home, brio::MakeTaskStoreFactory(store), brio::HostPaths({}));
        brio::NameList names;
        for (int i = 0; i < 1000; ++i)
            names.push_back("Tarea " + std::to_string(i));
        admin.Import(names);
        ::setenv("BRIOSCHEDULE_DRIVES", "C:=/nonexistent", 1);
    }
    ~Fixture() { fs::remove_all(root); }
    brio::clsAdminTask admin() const {
        return brio::clsAdminTask(home, brio::MakeTaskStoreFactory(store), brio::HostPaths({}));
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_PlainPugixmlLoop(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state) {
        std::size_t n = 0;
        for (const auto& entry : fs::directory_iterator(f.store)) {
            if (entry.path().extension() != ".job")
                continue;
            pugi::xml_document doc;
            if (doc.load_file(entry.path().c_str()))
                ++n;
        }
        if (n != 10000)
            state.SkipWithError("unexpected count");
    }
}

void BM_GetSystemTaskList(benchmark::State& state) {
    auto& f = fixture();
    auto admin = f.admin();
    for (auto _ : state) {
        if (admin.getSystemTaskList().size() != 10000)
            state.SkipWithError("unexpected count");
    }
}

// The first read of a process: a copy of the store under another path, which nothing has read yet.
void BM_GetSystemTaskListFirstRead(benchmark::State& state) {
    auto& f = fixture();
    int copy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path fresh = f.root / ("copia" + std::to_string(copy++));
        fs::copy(f.store, fresh, fs::copy_options::recursive);
        brio::clsAdminTask admin(f.home, brio::MakeTaskStoreFactory(fresh), brio::HostPaths({}));
        state.ResumeTiming();
        if (admin.getSystemTaskList().size() != 10000)
            state.SkipWithError("unexpected count");
        state.PauseTiming();
        fs::remove_all(fresh);
        state.ResumeTiming();
    }
}

void BM_GetSystemTaskIndex(benchmark::State& state) {
    auto& f = fixture();
    auto admin = f.admin();
    for (auto _ : state)
        benchmark::DoNotOptimize(admin.getSystemTaskIndex("Tarea 9999"));
}

void BM_SetTaskAttr(benchmark::State& state) {
    auto& f = fixture();
    auto admin = f.admin();
    bool on = false;
    for (auto _ : state) {
        admin.SetTaskAttr("Tarea 5000", "disabled", on ? "1" : "0");
        on = !on;
    }
}

void BM_Export1000(benchmark::State& state) {
    auto& f = fixture();
    auto admin = f.admin();
    brio::NameList names;
    for (int i = 0; i < 1000; ++i)
        names.push_back("Tarea " + std::to_string(i));
    for (auto _ : state)
        admin.Export(names);
}

} // namespace

BENCHMARK(BM_PlainPugixmlLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetSystemTaskList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetSystemTaskListFirstRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GetSystemTaskIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetTaskAttr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export1000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_MAIN();
