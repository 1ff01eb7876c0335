// The runner's own time for the reports of one run (journal entry, mail handed to a sendmail process,
// metrics of 10,000 tasks marked for writing) and for one write of those metrics.
//   bench_reports
#include "FailureMail.h"
#include "MetricsFile.h"
#include "RunJournal.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// A folder of its own, private, removed at the end.
struct Folder {
    fs::path path;
    Folder() {
        char name[] = "/tmp/brio-reports-XXXXXX";
        path = ::mkdtemp(name);
        fs::permissions(path, fs::perms(0755));
    }
    ~Folder() { fs::remove_all(path); }
};

brio::TaskState stateOf(int i) {
    brio::TaskState state;
    state.next = sys_seconds(seconds(1900000000 + i));
    state.Add({sys_seconds(seconds(1800000000 + i)), sys_seconds(seconds(1800000030 + i)), "ok", 0,
               std::nullopt, "Terminó correctamente", ""});
    return state;
}

void BM_OneRunsReports(benchmark::State& bench) {
    const bool mail = bench.range(0) != 0;
    Folder folder;
    const fs::path log = folder.path / "run.log";
    {
        std::ofstream out(log);
        for (int i = 0; i < 500; ++i)
            out << "línea " << i << " de la salida del programa\n";
    }
    // The journal entry goes through a datagram socket as sd_journal_sendv sends it; the test drains it.
    int pair[2];
    ::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair);
    brio::RunReports reports("nobody");
    reports.Add(std::make_unique<brio::RunJournal>([&](const std::vector<std::string>& fields) {
        std::string joined;
        for (const std::string& field : fields)
            joined += field + "\n";
        ::send(pair[0], joined.data(), joined.size(), 0);
    }));
    std::ostringstream messages;
    reports.Add(std::make_unique<brio::FailureMail>(
        "admin@example.org", mail ? std::set<std::string>{"error"} : std::set<std::string>{}, "/bin/true",
        "servidor", messages));
    auto metrics = std::make_unique<brio::MetricsFile>(folder.path / "brio.prom", ::geteuid(), messages);
    for (int i = 0; i < 10000; ++i) {
        const brio::TaskState state = stateOf(i);
        metrics->TaskChanged("Tarea " + std::to_string(i), &state);
    }
    reports.Add(std::move(metrics));
    reports.Tend(steady_clock::now()); // the first write, at start
    const std::string task = "Tarea 42", account;
    brio::TaskState state = stateOf(42);
    char drain[65536];
    for (auto _ : bench) {
        const sys_seconds start = state.runs.back().start + seconds(60);
        const brio::RunRecord begun{start, std::nullopt, "", std::nullopt, std::nullopt, "programada", log};
        reports.RunStarted({task, account, begun});
        state.running = brio::RunningRun{start, 1, log};
        reports.TaskChanged(task, &state);
        state.running.reset();
        state.Add({start, start + seconds(5), "error", 3, std::nullopt, "Terminó con el código 3", log});
        reports.RunRecorded({task, account, state.runs.back()});
        reports.TaskChanged(task, &state);
        reports.Tend(steady_clock::now() - seconds(10)); // reaps ended sends; the metrics wait their second
        bench.PauseTiming();
        while (::recv(pair[1], drain, sizeof drain, MSG_DONTWAIT) > 0) {
        }
        bench.ResumeTiming();
    }
    reports.Close(milliseconds(5000));
    ::close(pair[0]);
    ::close(pair[1]);
}
// Argument 1: the run's result sends mail; 0: it does not.
BENCHMARK(BM_OneRunsReports)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_MetricsWriteOf10000Tasks(benchmark::State& bench) {
    Folder folder;
    std::ostringstream messages;
    brio::MetricsFile metrics(folder.path / "brio.prom", ::geteuid(), messages);
    for (int i = 0; i < 10000; ++i) {
        const brio::TaskState state = stateOf(i);
        metrics.TaskChanged("Tarea " + std::to_string(i), &state);
    }
    auto now = steady_clock::now();
    for (auto _ : bench) {
        metrics.RunRecorded({"Tarea 1", "nobody", stateOf(1).runs.back()});
        now += seconds(2);
        metrics.Tend(now);
    }
    bench.counters["bytes"] = static_cast<double>(fs::file_size(folder.path / "brio.prom"));
}
BENCHMARK(BM_MetricsWriteOf10000Tasks)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
