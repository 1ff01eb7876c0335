// The real brioschedule-runner on a store of 10,000 tasks: time until it tells systemd READY, resident
// memory, CPU used while nothing is due, how late a due task starts and how soon a changed task is
// rescheduled. Not a Google Benchmark: each figure is one measurement of the running daemon.
//   bench_runner [tasks]      (default 10000; run it as any user, it works in a temporary folder)
#include "Conversions.h"
#include "JobFile.h"
#include "StateFolder.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

brio::SchedTrigger dailyAt(int hour, int minute) {
    brio::SchedTrigger t;
    t.setTriggerType(brio::trigger::Daily);
    t.setBeginDay(brio::MakeDate(2024, 1, 1));
    t.setStartTime(brio::MakeDate(1899, 12, 30, hour, minute));
    return t;
}

brio::SchedTrigger onceAt(sys_seconds when) {
    const year_month_day day{floor<days>(when)};
    const hh_mm_ss<seconds> time{when - floor<days>(when)};
    brio::SchedTrigger t;
    t.setTriggerType(brio::trigger::Once);
    t.setBeginDay(brio::MakeDate(static_cast<int>(day.year()),
                                 static_cast<int>(static_cast<unsigned>(day.month())),
                                 static_cast<int>(static_cast<unsigned>(day.day()))));
    t.setStartTime(brio::MakeDate(1899, 12, 30, static_cast<int>(time.hours().count()),
                                  static_cast<int>(time.minutes().count())));
    return t;
}

void writeTask(const fs::path& store, const std::string& name, const brio::JobData& job) {
    const fs::path temp = store / ("." + name + ".tmp");
    std::ofstream(temp) << brio::WriteJob(job);
    fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write);
    fs::rename(temp, store / (name + ".job"));
}

long rssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// User and system CPU time of a process, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14)
            utime = std::atol(field.c_str());
        if (i == 15) {
            stime = std::atol(field.c_str());
            break;
        }
    }
    return utime + stime;
}

double inSeconds(steady_clock::duration d) {
    return duration<double>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    char pattern[] = "/tmp/brio-runner-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const fs::path root = pattern;
    const fs::path store = root / "tasks";
    const fs::path drive = root / "c";
    fs::create_directories(store);
    fs::permissions(store, fs::perms::owner_all);
    fs::permissions(root, fs::perms(0711));
    fs::create_directories(drive);
    fs::permissions(drive, fs::perms(0777));
    const fs::path script = drive / "marca.sh";
    std::ofstream(script) << "#!/bin/sh\ndate +%s.%N > " << (drive / "inicio").string() << "\n";
    fs::permissions(script, fs::perms(0755));

    brio::JobData job;
    job.applicationName = script.string();
    for (int i = 0; i < count; ++i) {
        job.triggers.items() = {dailyAt(i % 24, (i * 7) % 60)};
        writeTask(store, "Tarea " + std::to_string(i), job);
    }
    // The due task: at the next whole minute at least 20 s away, after start-up has settled.
    const sys_seconds now = floor<seconds>(system_clock::now());
    sys_seconds due = ceil<minutes>(now + 20s);
    job.triggers.items() = {onceAt(due)};
    writeTask(store, "Puntual", job);

    // systemd's notification socket, played by this program.
    const fs::path socketPath = root / "notify";
    const int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    if (sock < 0 || ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return 1;
    ::chmod(socketPath.c_str(), 0777);
    timeval timeout{30, 0};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    std::vector<std::string> env{"BRIOSCHEDULE_TASKS=" + store.string(),
                                 "NOTIFY_SOCKET=" + socketPath.string(),
                                 "BRIOSCHEDULE_RUNNER_CONF=" + (root / "runner.conf").string(), "TZ=UTC"};
    for (char** item = environ; *item; ++item)
        if (std::strncmp(*item, "BRIOSCHEDULE_", 13) != 0 && std::strncmp(*item, "NOTIFY_SOCKET=", 14) != 0 &&
            std::strncmp(*item, "TZ=", 3) != 0)
            env.emplace_back(*item);
    std::vector<char*> envp;
    for (std::string& item : env)
        envp.push_back(item.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (root / "runner.err").c_str(), O_WRONLY | O_CREAT, 0600);
    char* args[] = {const_cast<char*>(BRIO_RUNNER_PATH), nullptr};
    pid_t pid = -1;
    const auto started = steady_clock::now();
    if (posix_spawn(&pid, BRIO_RUNNER_PATH, &actions, nullptr, args, envp.data()) != 0)
        return 1;
    bool ready = false;
    char message[512];
    while (!ready) {
        const ssize_t got = ::recv(sock, message, sizeof message - 1, 0);
        if (got <= 0)
            break;
        message[got] = '\0';
        ready = std::strstr(message, "READY=1") != nullptr;
    }
    const auto readyAt = steady_clock::now();
    std::printf("tasks:                 %d\n", count + 1);
    std::printf("time to READY:         %.3f s%s\n", inSeconds(readyAt - started), ready ? "" : " (no READY)");
    std::printf("resident at READY:     %ld KiB\n", rssKiB(pid));

    // Start-up writes each task's state file with its next start; then nothing is due.
    const brio::StateFolder state(root / "state");
    while (brio::StateFolder(root / "state").Read("Tarea " + std::to_string(count - 1)).next ==
               std::nullopt &&
           steady_clock::now() - readyAt < 60s)
        std::this_thread::sleep_for(50ms);
    std::printf("state files written:   %.3f s after READY\n", inSeconds(steady_clock::now() - readyAt));
    std::this_thread::sleep_for(1s);
    const long before = cpuTicks(pid);
    const auto idleFrom = steady_clock::now();
    std::this_thread::sleep_for(10s);
    const long idle = cpuTicks(pid) - before;
    std::printf("CPU while idle:        %ld ticks (1/%ld s) in %.1f s\n", idle, ::sysconf(_SC_CLK_TCK),
                inSeconds(steady_clock::now() - idleFrom));
    std::printf("resident when idle:    %ld KiB\n", rssKiB(pid));

    // A changed task: rescheduled (its state file's next start) how soon after the file is replaced.
    job.triggers.items() = {dailyAt(23, 59)};
    job.applicationName = "/bin/true";
    const auto changed = steady_clock::now();
    writeTask(store, "Tarea 0", job);
    const sys_days today = floor<days>(system_clock::now());
    const sys_seconds expected = today + 23h + 59min;
    while (state.Read("Tarea 0").next != expected && steady_clock::now() - changed < 10s)
        std::this_thread::sleep_for(1ms);
    std::printf("rescheduled after:     %.3f s\n", inSeconds(steady_clock::now() - changed));

    // The due task.
    std::this_thread::sleep_until(system_clock::time_point(due) + 3s);
    std::ifstream mark(drive / "inicio");
    double startedAt = 0;
    mark >> startedAt;
    std::printf("due task started:      %.3f s after its instant\n",
                startedAt - static_cast<double>(due.time_since_epoch().count()));

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::printf("exit on SIGTERM:       %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    fs::remove_all(root);
    return 0;
}
