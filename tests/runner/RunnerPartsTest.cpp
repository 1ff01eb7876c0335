// The runner's parts on their own: argument splitting, configuration, state files, requests, the
// folder watcher and launch plans.
#include "FolderWatcher.h"
#include "LaunchPlan.h"
#include "RunnerConfig.h"
#include "RunnerControl.h"
#include "RunnerFixture.h"
#include "WindowsCommandLine.h"

#include "ErrorOf.h"

#include <gmock/gmock.h>

#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::HasSubstr;

namespace brio::test {

TEST(WindowsArguments, SplitAsWindowsProgramsSplitThem) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}},
        {"  uno   dos\tTres ", {"uno", "dos", "Tres"}},
        {R"("C:\Program Files\x" /s)", {R"(C:\Program Files\x)", "/s"}},
        {R"(a\\b c\d)", {R"(a\\b)", R"(c\d)"}},
        {R"("a\"b" c\\\"d)", {R"(a"b)", R"(c\"d)"}},
        {R"("a\\" b)", {R"(a\)", "b"}},
        {R"("dice ""hola"" ya")", {R"(dice "hola" ya)"}},
        {R"(pe"ga"do "")", {"pegado", ""}},
        {R"("sin cerrar)", {"sin cerrar"}},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(SplitWindowsArguments(line), expected) << line;
}

TEST(RunnerConfigFile, KeysDefaultsAndProblems) {
    const RunnerConfig defaults = RunnerConfig::Load("/no/existe/runner.conf");
    EXPECT_EQ(defaults.serviceUser, "nobody");
    EXPECT_EQ(defaults.wineCommand, "wine");
    const RunnerConfig read =
        RunnerConfig::Parse("# comentario\n\n ServiceUser = operador \r\n"
                            "WineCommand=/opt/wine/bin/wine64\nOtra=1\nsuelta\nServiceUser=\n");
    EXPECT_EQ(read.serviceUser, "operador");
    EXPECT_EQ(read.wineCommand, "/opt/wine/bin/wine64");
    ASSERT_EQ(read.problems.size(), 3u);
    EXPECT_THAT(read.problems[0], HasSubstr("línea 5: clave desconocida «Otra»"));
    EXPECT_THAT(read.problems[1], HasSubstr("falta «=»"));
    EXPECT_THAT(read.problems[2], HasSubstr("no tiene valor"));
}

TEST(TaskStateFile, RoundTripKeepsTheLastFiftyRunsAndRefusesOtherFiles) {
    TaskState state;
    for (int i = 0; i < 60; ++i)
        state.Add(RunRecord{Utc(2030, 1, 1, 0, i), Utc(2030, 1, 1, 0, i, 30), "error", i, std::nullopt,
                            "Terminó con el código " + std::to_string(i), "/log/" + std::to_string(i)});
    state.Add(
        RunRecord{Utc(2030, 1, 2, 0, 0), std::nullopt, "missed", std::nullopt, std::nullopt, "ñ «x»", ""});
    state.next = Utc(2030, 1, 3, 4, 5);
    state.running = RunningRun{Utc(2030, 1, 2, 1, 0), 4321, "/log/r"};
    state.notes = {"unsupported-trigger-7"};
    ASSERT_EQ(state.runs.size(), TaskState::kMaxRuns);
    EXPECT_EQ(state.runs.front().exitCode, 11);

    TaskState read;
    std::string problem;
    ASSERT_TRUE(ReadTaskState(WriteTaskState(state), read, problem)) << problem;
    EXPECT_EQ(read, state);
    for (const char* bad : {"", "[]", "{\"Version\":2}", "{\"Version\":1,\"Runs\":[{}]}", "no json"}) {
        TaskState untouched = state;
        EXPECT_FALSE(ReadTaskState(bad, untouched, problem)) << bad;
        EXPECT_EQ(untouched, state);
    }
}

TEST(RunnerRequests, OnlyARunningRunnerTakesThem) {
    TempDir dir;
    StateFolder state(dir / "state");
    state.Open(::geteuid());
    EXPECT_FALSE(RunningRunner(state));
    EXPECT_EQ(ErrorOf([&] { RequestRun(state, "Copia"); }), err::ObjectNotSet);
    EXPECT_TRUE(fs::is_empty(state.RequestFolder()));
    {
        RunnerLock lock(state);
        EXPECT_EQ(RunningRunner(state), ::getpid());
        EXPECT_EQ(ErrorOf([&] { RunnerLock second(state); }), err::PermissionDenied);
        const fs::path first = RequestRun(state, "Copia");
        RequestRun(state, "Cierre diario");
        EXPECT_FALSE(WaitForPickup(first, 50ms));
        RequestEnd(state, "Copia");
        EXPECT_THAT(TakeRequests(state), ElementsAre(RunnerRequest{RequestKind::Run, "Copia"},
                                                     RunnerRequest{RequestKind::Run, "Cierre diario"},
                                                     RunnerRequest{RequestKind::End, "Copia"}));
        EXPECT_TRUE(WaitForPickup(first, 50ms));
        EXPECT_TRUE(TakeRequests(state).empty());
    }
    EXPECT_FALSE(RunningRunner(state)) << "the lock goes with the runner";
}

TEST(RunnerFolderWatcher, SeesTaskFilesWrittenReplacedAndRemovedAtOnce) {
    TempDir dir;
    FolderWatcher watcher;
    std::string problem;
    const int watch = watcher.Add(dir.path(), problem);
    ASSERT_GE(watch, 0) << problem;
    EXPECT_TRUE(watcher.Read().empty());
    WriteText(dir / "Nueva.job", "x");
    WriteText(dir / ".tmp", "y");
    fs::rename(dir / ".tmp", dir / "Otra.job");
    fs::remove(dir / "Nueva.job");
    std::this_thread::sleep_for(50ms); // inotify delivers within microseconds; no polling in the runner
    std::set<std::string> seen;
    for (const FolderWatcher::Event& event : watcher.Read()) {
        EXPECT_EQ(event.watch, watch);
        seen.insert(event.name);
    }
    EXPECT_THAT(seen, testing::IsSupersetOf({"Nueva.job", "Otra.job"}));
    EXPECT_LT(watcher.Add(dir / "no-existe", problem), 0);
    EXPECT_THAT(problem, HasSubstr("no-existe"));
}

TEST(RunnerLaunchPlan, WindowsProgramsGoThroughWineAndPathsThroughTheDriveMap) {
    TempDir dir;
    WriteText(dir / "c" / "Suite" / "Bin" / "cierre.EXE", "MZ");
    WriteText(dir / "c" / "Suite" / "Bin" / "copia.bat", "@echo off");
    WriteText(dir / "wine", "#!/bin/sh\n");
    fs::permissions(dir / "wine", fs::perms(0755));
    LaunchContext context;
    context.systemMode = false;
    context.ownUser = RunnerFixture::TaskUser();
    context.config.wineCommand = (dir / "wine").string();
    context.drives = HostPaths({{'C', dir / "c"}});
    JobData job;
    job.applicationName = "c:\\suite\\bin\\CIERRE.exe"; // each component without regard to letter case
    job.parameters = "/dia \"1 2\"";
    std::string reason;
    std::optional<LaunchPlan> plan = PlanLaunch(job, context, reason);
    ASSERT_TRUE(plan) << reason;
    const std::string exe = (dir / "c" / "Suite" / "Bin" / "cierre.EXE").string();
    EXPECT_THAT(plan->argv, ElementsAre((dir / "wine").string(), exe, "/dia", "1 2"));
    EXPECT_EQ(plan->folder, dir / "c" / "Suite" / "Bin");
    EXPECT_THAT(plan->env, testing::Not(testing::Contains(testing::StartsWith("WINEPREFIX="))))
        << "the administrator's drive map is no Wine prefix, and never the runner's own";
    EXPECT_FALSE(plan->switchUser);

    job.applicationName = "C:\\Suite\\Bin\\copia.bat";
    plan = PlanLaunch(job, context, reason);
    ASSERT_TRUE(plan) << reason;
    EXPECT_THAT(plan->argv, ElementsAre((dir / "wine").string(), "cmd", "/c",
                                        (dir / "c" / "Suite" / "Bin" / "copia.bat").string(), "/dia", "1 2"));

    job.applicationName = "sh"; // a bare name is looked for on the run's PATH
    plan = PlanLaunch(job, context, reason);
    ASSERT_TRUE(plan) << reason;
    EXPECT_THAT(plan->argv.front(), testing::EndsWith("/sh"));

    context.config.wineCommand = "wine-que-no-existe";
    job.applicationName = "C:\\Suite\\Bin\\cierre.exe";
    EXPECT_FALSE(PlanLaunch(job, context, reason));
    EXPECT_THAT(reason, HasSubstr("«wine-que-no-existe»"));
}

TEST(RunnerLaunchPlan, TheServiceUserRunsAccountlessTasksAndRootOnlyWhenNamed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the system runner chooses accounts";
    TempDir dir;
    WriteText(dir / "x.sh", "#!/bin/sh\n");
    fs::permissions(dir / "x.sh", fs::perms(0755));
    LaunchContext context;
    context.systemMode = true;
    context.ownUser = "root";
    JobData job;
    job.applicationName = (dir / "x.sh").string();
    std::string reason;
    std::optional<LaunchPlan> plan = PlanLaunch(job, context, reason);
    ASSERT_TRUE(plan) << reason;
    EXPECT_EQ(plan->user, "nobody");
    EXPECT_TRUE(plan->switchUser);
    EXPECT_NE(plan->uid, 0u);
    context.config.serviceUser = "root";
    plan = PlanLaunch(job, context, reason);
    ASSERT_TRUE(plan) << reason;
    EXPECT_EQ(plan->uid, 0u);
    job.account = ".\\nobody";
    plan = PlanLaunch(job, context, reason);
    ASSERT_TRUE(plan) << reason;
    EXPECT_EQ(plan->user, "nobody");
}

} // namespace brio::test
