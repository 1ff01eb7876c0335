// The scheduler side with 10,000 or 100,000 tasks in the store and as many entries in the list file: the
// system list against reading and parsing the same files with pugixml in a plain loop, one look-up by name,
// one attribute change, exporting 1,000 entries, and the command line's commands run as the real program
// (a fresh process each time, its peak memory measured by /usr/bin/time) against a bare pugixml parse of the
// list file, in this process and in a fresh process of its own ("--bare-parse").
#include "TaskStore.h"
#include "clsAdminTask.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string TaskName(int i) {
    return "Tarea " + std::to_string(i);
}

// `count` names spread over the first `tasks` tasks.
brio::NameList Spread(int count, int tasks) {
    brio::NameList names;
    for (int i = 0; i < count; ++i)
        names.push_back(TaskName(static_cast<int>(static_cast<long long>(i) * tasks / count)));
    return names;
}

struct Fixture {
    int tasks;
    fs::path root, home, store, listCopy, jobCopies;

    explicit Fixture(int count) : tasks(count) {
        std::string pattern = (fs::temp_directory_path() / "brio-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        home = root / "home";
        store = root / "tasks";
        listCopy = root / "TaskConfig.copia";
        jobCopies = root / "copias";
        fs::create_directories(home);
        fs::create_directories(jobCopies);
        {
            brio::TaskStore s(store);
            s.Refresh();
            brio::SchedTaskPtr t = s.NewTask("Modelo");
            t->setApplicationName("C:\\BRIO\\VELMORAX\\bin\\prog.exe");
            t->setParameters("/n 1");
            brio::SchedTrigger& trig = t->Triggers().Add();
            trig.setTriggerType(brio::trigger::Daily);
            trig.setBeginDay(brio::MakeDate(2026, 12, 8));
            trig.setStartTime(brio::MakeDate(1899, 12, 30, 2, 0));
            t->Save(0);
        }
        // Copies of one task file: the store's own saves would flush every file to disk.
        for (int i = 0; i < tasks; ++i)
            fs::copy_file(store / "Modelo.job", store / (TaskName(i) + ".job"));
        fs::remove(store / "Modelo.job");
        // The list file holds every task.
        admin().Import(Spread(tasks, tasks));
        fs::copy_file(home / "TaskConfig.XML", listCopy);
        ::setenv("BRIOSCHEDULE_DRIVES", "C:=/nonexistent", 1);
    }
    ~Fixture() { fs::remove_all(root); }
    brio::clsAdminTask admin() const {
        return brio::clsAdminTask(home, brio::MakeTaskStoreFactory(store), brio::HostPaths({}));
    }
    fs::path listFile() const { return home / "TaskConfig.XML"; }
};

Fixture& fixture(const benchmark::State& state) {
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    const int tasks = static_cast<int>(state.range(0));
    std::unique_ptr<Fixture>& f = fixtures[tasks];
    if (!f)
        f = std::make_unique<Fixture>(tasks);
    return *f;
}

void BM_BareListParse(benchmark::State& state) {
    auto& f = fixture(state);
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(
            doc.load_file(f.listFile().c_str(), pugi::parse_default | pugi::parse_ws_pcdata));
    }
    state.counters["list_MB"] = static_cast<double>(fs::file_size(f.listFile())) / 1e6;
}

void BM_PlainPugixmlLoop(benchmark::State& state) {
    auto& f = fixture(state);
    for (auto _ : state) {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(f.store)) {
            if (entry.path().extension() != ".job")
                continue;
            pugi::xml_document doc;
            if (doc.load_file(entry.path().c_str()))
                ++n;
        }
        if (n != f.tasks)
            state.SkipWithError("unexpected count");
    }
}

void BM_GetSystemTaskList(benchmark::State& state) {
    auto& f = fixture(state);
    auto admin = f.admin();
    for (auto _ : state) {
        if (static_cast<int>(admin.getSystemTaskList().size()) != f.tasks)
            state.SkipWithError("unexpected count");
    }
}

// The first read of a process: a copy of the store under another path, which nothing has read yet.
void BM_GetSystemTaskListFirstRead(benchmark::State& state) {
    auto& f = fixture(state);
    int copy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path fresh = f.root / ("copia" + std::to_string(copy++));
        fs::copy(f.store, fresh, fs::copy_options::recursive);
        brio::clsAdminTask admin(f.home, brio::MakeTaskStoreFactory(fresh), brio::HostPaths({}));
        state.ResumeTiming();
        if (static_cast<int>(admin.getSystemTaskList().size()) != f.tasks)
            state.SkipWithError("unexpected count");
        state.PauseTiming();
        fs::remove_all(fresh);
        state.ResumeTiming();
    }
}

void BM_GetSystemTaskIndex(benchmark::State& state) {
    auto& f = fixture(state);
    auto admin = f.admin();
    for (auto _ : state)
        benchmark::DoNotOptimize(admin.getSystemTaskIndex(TaskName(f.tasks - 1)));
}

void BM_SetTaskAttr(benchmark::State& state) {
    auto& f = fixture(state);
    auto admin = f.admin();
    bool on = false;
    for (auto _ : state) {
        admin.SetTaskAttr(TaskName(f.tasks / 2), "disabled", on ? "1" : "0");
        on = !on;
    }
}

void BM_Export1000(benchmark::State& state) {
    auto& f = fixture(state);
    auto admin = f.admin();
    const brio::NameList names = Spread(1000, f.tasks);
    for (auto _ : state)
        admin.Export(names);
}

// One run of `program` (brioschedule-cli) on the fixture under /usr/bin/time, its output thrown away; false
// when it failed. `peakKb` gets the highest peak resident memory of the runs so far, `cpuSeconds` the
// processor time of the run added (user and system, the steady figure on a busy machine).
bool RunCli(const Fixture& f, const std::string& program, const std::vector<std::string>& args, long& peakKb,
            double& cpuSeconds) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with("BRIOSCHEDULE_"))
            env.emplace_back(entry);
    }
    env.push_back("BRIOSCHEDULE_HOME=" + f.home.string());
    env.push_back("BRIOSCHEDULE_TASKS=" + f.store.string());
    env.push_back("BRIOSCHEDULE_DRIVES=C:=/nonexistent");
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    // The memory is measured by a small parent of the program's own: a child of this large process would
    // be charged this process's memory too.
    const fs::path peakFile = f.root / "peak.txt";
    std::vector<std::string> all{"/usr/bin/time", "-f", "%M", "-o", peakFile.string(), program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return false;
    cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::ifstream peak(peakFile);
    long kb = 0;
    if (peak >> kb)
        peakKb = std::max(peakKb, kb);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

enum Cli {
    BareParse,
    Import100,
    Export100,
    DeleteBoth100,
    Disable1000,
    Range100,
    ShowSystem,
    Show,
    List,
    ListJson,
    ListSystem
};

const char* const kCliNames[] = {"bare parse",   "import 100",  "export 100",      "delete --both 100",
                                 "disable 1000", "range 100",   "show --system 1", "show 1",
                                 "list",         "list --json", "list --system"};

// A command line command, run as the real program. Counters: the list file's size, and the peak memory
// of the program, in MB and as a multiple of the list file's size.
void BM_Cli(benchmark::State& state) {
    auto& f = fixture(state);
    const auto which = static_cast<Cli>(state.range(1));
    state.SetLabel(kCliNames[which]);
    const auto withNames = [&](std::vector<std::string> args, int count) {
        for (const std::string& name : Spread(count, f.tasks))
            args.push_back(name);
        return args;
    };
    std::vector<std::string> args;
    std::string program = BRIO_CLI_PATH;
    switch (which) {
    case BareParse:
        program = fs::read_symlink("/proc/self/exe").string();
        args = {"--bare-parse", f.listFile().string()};
        break;
    case Import100:
        args = withNames({"import"}, 100);
        break;
    case Export100:
        args = withNames({"export"}, 100);
        break;
    case DeleteBoth100:
        args = withNames({"delete", "--both"}, 100);
        break;
    case Disable1000:
        args = withNames({"disable"}, 1000);
        break;
    case Range100:
        args = withNames({"range", "15"}, 100);
        break;
    case ShowSystem:
        args = {"show", "--system", TaskName(f.tasks - 1)};
        break;
    case Show:
        args = {"show", TaskName(f.tasks - 1)};
        break;
    case List:
        args = {"list"};
        break;
    case ListJson:
        args = {"list", "--json"};
        break;
    case ListSystem:
        args = {"list", "--system"};
        break;
    }
    const brio::NameList deleted = Spread(100, f.tasks);
    if (which == DeleteBoth100) {
        for (const std::string& name : deleted)
            fs::copy_file(f.store / (name + ".job"), f.jobCopies / (name + ".job"),
                          fs::copy_options::overwrite_existing);
    }
    long peakKb = 0;
    double cpuSeconds = 0;
    // The fixture's own writes reach the disk before the clock runs: a command that flushes its changes
    // must not wait for them.
    ::sync();
    for (auto _ : state) {
        if (!RunCli(f, program, args, peakKb, cpuSeconds))
            state.SkipWithError("brioschedule-cli failed");
        if (which == DeleteBoth100) {
            state.PauseTiming();
            fs::copy_file(f.listCopy, f.listFile(), fs::copy_options::overwrite_existing);
            for (const std::string& name : deleted)
                fs::copy_file(f.jobCopies / (name + ".job"), f.store / (name + ".job"),
                              fs::copy_options::overwrite_existing);
            ::sync();
            state.ResumeTiming();
        }
    }
    const double listBytes = static_cast<double>(fs::file_size(f.listFile()));
    state.counters["cli_cpu_ms"] = cpuSeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["peak_MB"] = static_cast<double>(peakKb) * 1024 / 1e6;
    state.counters["peak_x_list"] = static_cast<double>(peakKb) * 1024 / listBytes;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

void CliCommands(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->ArgNames({"tasks", "command"});
    for (int size : {10000, 100000}) {
        for (int c = BareParse; c <= ListSystem; ++c)
            b->Args({size, c});
    }
}

} // namespace

BENCHMARK(BM_BareListParse)->Apply(Sizes);
BENCHMARK(BM_Cli)->Apply(CliCommands)->Iterations(3);
BENCHMARK(BM_PlainPugixmlLoop)->Apply(Sizes);
BENCHMARK(BM_GetSystemTaskList)->Apply(Sizes);
BENCHMARK(BM_GetSystemTaskListFirstRead)->Apply(Sizes)->Iterations(2);
BENCHMARK(BM_GetSystemTaskIndex)->Apply(Sizes);
BENCHMARK(BM_SetTaskAttr)->Apply(Sizes);
BENCHMARK(BM_Export1000)->Apply(Sizes)->Iterations(2);
int main(int argc, char** argv) {
    // The bare parse of a list file in a process of its own, the measure of the command line's commands.
    if (argc == 3 && std::string_view(argv[1]) == "--bare-parse") {
        pugi::xml_document doc;
        return doc.load_file(argv[2], pugi::parse_default | pugi::parse_ws_pcdata) ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
