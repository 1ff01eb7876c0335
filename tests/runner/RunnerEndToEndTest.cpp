// The real brioschedule-runner on a temporary store, with the real brioschedule-cli asking it to run a
// task and reading what it recorded. The runner is always ended at the end of the test.
#include "RunnerFixture.h"

#include "StateFolder.h"
#include "TaskStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gmock/gmock.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <regex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::HasSubstr;

namespace brio::test {

namespace {

struct Output {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a program to its end with the environment of this test plus `env`; its output in files.
Output runProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                  const fs::path& folder) {
    const fs::path outFile = folder / "cli.out";
    const fs::path errFile = folder / "cli.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> environment = env;
    for (char** item = environ; *item; ++item)
        environment.emplace_back(*item);
    std::vector<char*> argv, envp;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (const std::string& item : environment)
        envp.push_back(const_cast<char*>(item.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    Output output;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
        ::waitpid(pid, &output.status, 0);
    posix_spawn_file_actions_destroy(&actions);
    output.status = WIFEXITED(output.status) ? WEXITSTATUS(output.status) : -1;
    output.out = ReadText(outFile);
    output.err = ReadText(errFile);
    return output;
}

} // namespace

class RunnerEndToEndTest : public RunnerFixture {
protected:
    std::vector<std::string> Environment() const {
        return {"BRIOSCHEDULE_TASKS=" + store_.string(),
                "BRIOSCHEDULE_DRIVES=C:=" + drive_.string(),
                "BRIOSCHEDULE_HOME=" + (root_ / "programa").string(),
                "BRIOSCHEDULE_RUNNER_CONF=" + (root_ / "runner.conf").string(),
                "BRIOSCHEDULE_STATE=",
                "TZ=UTC"};
    }
    Output Cli(const std::vector<std::string>& args) const {
        std::vector<std::string> all{BRIO_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        return runProgram(all, Environment(), root_.path());
    }
    std::vector<std::string> Results(const std::string& name) const {
        std::vector<std::string> results;
        for (const RunRecord& run : StateFolder(state_).Read(name).runs)
            results.push_back(run.result);
        return results;
    }
};

TEST_F(RunnerEndToEndTest, TheRunnerRunsADueTaskAndTheCommandLineStartsItAgain) {
    fs::create_directories(root_ / "programa");
    const Output none = Cli({"run", "Eco"});
    EXPECT_EQ(none.status, 1);
    EXPECT_THAT(none.err, HasSubstr("no existe la tarea"));

    // Starts fall on whole minutes: the task is due at the next minute at least three seconds away, and
    // the runner starts two seconds before it.
    using namespace std::chrono;
    const auto now = system_clock::now();
    auto due = ceil<minutes>(now);
    if (due - now < 3s)
        due += 1min;
    const auto wall = floor<seconds>(due);
    const std::chrono::year_month_day day{floor<days>(wall)};
    const hh_mm_ss<seconds> time{wall - floor<days>(wall)};
    SchedTrigger once = MakeTrigger(
        trigger::Once, static_cast<int>(day.year()), static_cast<int>(static_cast<unsigned>(day.month())),
        static_cast<int>(static_cast<unsigned>(day.day())), static_cast<int>(time.hours().count()),
        static_cast<int>(time.minutes().count()));
    SaveTask("Eco", ScriptTask(Script("eco.sh", "echo corre $(id -un); sleep 2"), {once}));
    SaveTask("Diaria",
             ScriptTask(Script("nada.sh", "true"), {MakeTrigger(trigger::Daily, 2030, 1, 1, 3, 0)}));
    const Output noRunner = Cli({"run", "Eco"});
    EXPECT_EQ(noRunner.status, 1);
    EXPECT_THAT(noRunner.err, HasSubstr("El ejecutor no está en marcha: la tarea «Eco» no se ha iniciado"));

    std::this_thread::sleep_until(due - 2s);
    RunnerProcess runner(Environment(), root_ / "runner.err");
    ASSERT_GT(runner.pid(), 0);
    ASSERT_TRUE(waitFor([&] { return Results("Eco").size() == 1; }, 8s)) << ReadText(root_ / "runner.err");
    const TaskState first = StateFolder(state_).Read("Eco");
    EXPECT_EQ(first.runs[0].result, runresult::ok) << first.runs[0].reason;
    EXPECT_LE(first.runs[0].start - floor<seconds>(due), 1s) << "a due task starts within a second";
    EXPECT_EQ(ReadText(first.runs[0].log), "corre " + TaskUser() + "\n");

    // Asked from the command line: it starts within a second; asked again while it runs, the command
    // line says so and asks nothing.
    const Output asked = Cli({"run", "eco"});
    EXPECT_EQ(asked.status, 0) << asked.err;
    EXPECT_THAT(asked.out, HasSubstr("«Eco»"));
    EXPECT_TRUE(waitFor([&] { return StateFolder(state_).Read("Eco").running.has_value(); }, 1s));
    const Output again = Cli({"run", "Eco"});
    EXPECT_EQ(again.status, 1);
    EXPECT_THAT(again.err, HasSubstr("La tarea «Eco» ya está en ejecución desde "));
    ASSERT_TRUE(waitFor([&] { return Results("Eco").size() == 2; }, 8s)) << ReadText(root_ / "runner.err");
    EXPECT_EQ(Results("Eco"), (std::vector<std::string>{"ok", "ok"}));
    const Output log = Cli({"log", "Eco"});
    EXPECT_EQ(log.status, 0) << log.err;
    EXPECT_EQ(log.out, "corre " + TaskUser() + "\n");

    const Output history = Cli({"history", "Eco", "--json"});
    ASSERT_EQ(history.status, 0) << history.err;
    const QJsonArray runs = QJsonDocument::fromJson(QByteArray::fromStdString(history.out)).array();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].toObject()["Result"].toString(), "ok") << "newest first";
    EXPECT_EQ(runs[1].toObject()["ExitCode"].toInt(), 0);
    EXPECT_TRUE(std::regex_match(runs[1].toObject()["Start"].toString().toStdString(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")));

    // A change made by the window's operations (here the same operation from the command line) is seen
    // within a second.
    const Output status = Cli({"status", "--json"});
    ASSERT_EQ(status.status, 0) << status.err;
    const QJsonObject before = QJsonDocument::fromJson(QByteArray::fromStdString(status.out)).object();
    EXPECT_EQ(before["Pid"].toInt(), runner.pid());
    ASSERT_EQ(before["Tasks"].toArray().size(), 2);
    EXPECT_EQ(before["Tasks"].toArray()[0].toObject()["Next"].toString(), "2030-01-01T03:00:00+00:00");
    const Output disabled = Cli({"disable", "--system", "Diaria"});
    ASSERT_EQ(disabled.status, 0) << disabled.err;
    EXPECT_TRUE(waitFor([&] { return !StateFolder(state_).Read("Diaria").next; }, 1500ms));

    EXPECT_EQ(runner.Stop(), 0) << "SIGTERM ends the runner cleanly";
    const std::string said = ReadText(root_ / "runner.err");
    EXPECT_THAT(said, HasSubstr("deteniéndose"));
    EXPECT_EQ(Cli({"status"}).out.rfind("No hay ningún ejecutor en marcha", 0), 0u);
}

TEST_F(RunnerEndToEndTest, TheCommandLineEndsARunningTaskThroughTheRunner) {
    SaveTask("Larga",
             ScriptTask(Script("larga.sh", "sleep 60"), {MakeTrigger(trigger::Daily, 2030, 1, 1, 3, 0)}));
    const Output noRunner = Cli({"end", "Larga"});
    EXPECT_EQ(noRunner.status, 1);
    EXPECT_THAT(noRunner.err,
                HasSubstr("El ejecutor no está en marcha: no se puede pedir que finalice «Larga»"));

    RunnerProcess runner(Environment(), root_ / "runner.err");
    ASSERT_GT(runner.pid(), 0);
    // The runner writes the task's next start once it has read the store.
    ASSERT_TRUE(waitFor([&] { return StateFolder(state_).Read("Larga").next.has_value(); }, 5s))
        << ReadText(root_ / "runner.err");
    const Output idle = Cli({"end", "Larga"});
    EXPECT_EQ(idle.status, 1);
    EXPECT_THAT(idle.err, HasSubstr("La tarea «Larga» no está en ejecución"));

    ASSERT_EQ(Cli({"run", "Larga"}).status, 0);
    ASSERT_TRUE(waitFor([&] { return StateFolder(state_).Read("Larga").running.has_value(); }, 2s));
    const Output ended = Cli({"end", "larga"});
    EXPECT_EQ(ended.status, 0) << ended.err;
    EXPECT_THAT(ended.out, HasSubstr("que finalice «Larga»."));
    // SIGTERM ends a plain sleep at once: well within the grace.
    ASSERT_TRUE(waitFor([&] { return Results("Larga").size() == 1; }, 5s)) << ReadText(root_ / "runner.err");
    const TaskState state = StateFolder(state_).Read("Larga");
    EXPECT_EQ(state.runs[0].result, runresult::killed);
    EXPECT_EQ(state.runs[0].reason, "finalizada por el administrador");
    EXPECT_FALSE(state.running);
    EXPECT_EQ(runner.Stop(), 0);
}

TEST_F(RunnerEndToEndTest, UnderSystemdItTellsReadyStatusAndWatchdog) {
    SaveTask("Diaria",
             ScriptTask(Script("nada.sh", "true"), {MakeTrigger(trigger::Daily, 2030, 1, 1, 3, 0)}));
    const fs::path socketPath = root_ / "notify";
    const int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const timeval wait{5, 0};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    std::vector<std::string> env = Environment();
    env.insert(env.begin(), {"NOTIFY_SOCKET=" + socketPath.string(), "WATCHDOG_USEC=200000"});
    RunnerProcess runner(env, root_ / "runner.err");
    std::string told;
    char message[1024];
    while (told.find("WATCHDOG=1") == std::string::npos) {
        const ssize_t got = ::recv(sock, message, sizeof message, 0);
        if (got <= 0)
            break;
        told.append(message, static_cast<std::size_t>(got)).append("\n");
    }
    ::close(sock);
    EXPECT_THAT(told, HasSubstr("READY=1"));
    EXPECT_THAT(told, HasSubstr("STATUS=1 tareas; próximo inicio: 01/01/2030 03:00:00"));
    EXPECT_THAT(told, HasSubstr("WATCHDOG=1"));
    EXPECT_EQ(runner.Stop(), 0);
}

} // namespace brio::test
