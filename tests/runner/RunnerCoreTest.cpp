// The runner's core on real processes, with time moved by hand.
#include "RunnerFixture.h"

#include "TaskStore.h"

#include <gmock/gmock.h>

#include <csignal>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::HasSubstr;

namespace brio::test {

namespace {

// Prints what a task's program sees: one "key=value" line each.
constexpr const char* kSeeScript = R"sh(echo "user=$(id -un)"
echo "pwd=$(pwd)"
for a in "$@"; do echo "arg=$a"; done
env | sort | sed 's/^/env:/'
for f in 3 4 5 6 7 8 9; do if [ -e /proc/$$/fd/$f ]; then echo "fd=$f"; fi; done)sh";

std::vector<std::string> linesWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line.substr(prefix.size()));
    return found;
}

std::vector<std::string> resultsOf(const TaskState& state) {
    std::vector<std::string> results;
    for (const RunRecord& run : state.runs)
        results.push_back(run.result);
    return results;
}

} // namespace

using RunnerCoreTest = RunnerFixture;

TEST_F(RunnerCoreTest, DueTaskRunsAsItsAccountWithItsArgumentsFolderAndEnvironment) {
    const std::string script = Script("see.sh", kSeeScript);
    JobData job = ScriptTask(script, {MakeTrigger(trigger::Daily, 2030, 1, 1, 9, 1)});
    job.parameters = R"(uno "dos tres" "cuatro\"cinco" seis\siete)";
    SaveTask("Informe", job);
    fs::create_directories(drive_ / "Trabajo");
    fs::permissions(drive_ / "Trabajo", fs::perms(0755));
    job.workingDirectory = "C:\\trabajo"; // matched without regard to letter case
    SaveTask("Carpeta", job);

    core_->Poll();
    EXPECT_EQ(core_->RunningCount(), 0u) << "nothing is due before 09:01";
    EXPECT_EQ(core_->NextWakeup(), Utc(2030, 1, 1, 9, 1));

    clock_.now = Utc(2030, 1, 1, 9, 1);
    core_->Poll();
    WaitForRuns();

    const TaskState state = StateOf("Informe");
    ASSERT_EQ(state.runs.size(), 1u);
    const RunRecord& run = state.runs.back();
    EXPECT_EQ(run.result, runresult::ok) << run.reason;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.start, Utc(2030, 1, 1, 9, 1));
    EXPECT_FALSE(state.running);
    EXPECT_EQ(state.next, Utc(2030, 1, 2, 9, 1));

    const std::string log = LogOf(run);
    EXPECT_EQ(linesWith(log, "user="), std::vector<std::string>{TaskUser()});
    EXPECT_EQ(linesWith(log, "pwd="), std::vector<std::string>{(drive_ / "scripts").string()});
    EXPECT_EQ(linesWith(log, "arg="),
              (std::vector<std::string>{"uno", "dos tres", "cuatro\"cinco", "seis\\siete"}));
    // Only the variables the runner sets (the shell adds PWD and the like itself).
    std::vector<std::string> names;
    for (const std::string& item : linesWith(log, "env:"))
        names.push_back(item.substr(0, item.find('=')));
    EXPECT_THAT(names, testing::IsSupersetOf({"HOME", "USER", "LOGNAME", "SHELL", "PATH"}));
    EXPECT_THAT(names, testing::Not(testing::Contains("BRIOSCHEDULE_TASKS")));
    EXPECT_THAT(names, testing::Not(testing::Contains("LD_PRELOAD")));
    EXPECT_THAT(linesWith(log, "env:USER="), testing::ElementsAre(TaskUser()));
    // No descriptor of the runner's reaches the program (the shell keeps its script above 9).
    EXPECT_THAT(linesWith(log, "fd="), testing::IsEmpty());
    EXPECT_EQ(linesWith(LogOf(StateOf("Carpeta").runs.back()), "pwd="),
              std::vector<std::string>{(drive_ / "Trabajo").string()});
}

TEST_F(RunnerCoreTest, RepetitionOverlapsAreSkippedAndTheDurationEndKillsTheGroup) {
    // Every minute for three minutes; the program ignores SIGTERM, so SIGKILL ends it after the grace.
    SchedTrigger stubborn = MakeTrigger(trigger::Daily, 2030, 1, 1, 10, 0);
    stubborn.setInterval(1);
    stubborn.setDuration(3);
    stubborn.setFlags(triggerflag::killAtDurationEnd);
    SaveTask("Terca", ScriptTask(Script("terca.sh", "trap '' TERM\nsleep 60"), {stubborn}));
    SchedTrigger quick = MakeTrigger(trigger::Daily, 2030, 1, 1, 10, 0);
    quick.setInterval(1);
    quick.setDuration(3);
    SaveTask("Rapida", ScriptTask(Script("rapida.sh", "exit 3"), {quick}));

    for (int minute = 0; minute < 3; ++minute) {
        clock_.now = Utc(2030, 1, 1, 10, minute);
        core_->Poll();
        std::this_thread::sleep_for(200ms);
        while (core_->IsRunning("Rapida")) {
            std::this_thread::sleep_for(10ms);
            core_->Poll();
        }
    }
    clock_.now = Utc(2030, 1, 1, 10, 3);
    core_->Poll(); // SIGTERM, which the program ignores
    std::this_thread::sleep_for(300ms);
    core_->Poll();
    EXPECT_TRUE(core_->IsRunning("Terca"));
    clock_.now = Utc(2030, 1, 1, 10, 3, 2);
    core_->Poll(); // the grace is over: SIGKILL to the whole group, the background sleep included
    WaitForRuns();

    EXPECT_EQ(resultsOf(StateOf("Rapida")), (std::vector<std::string>{"error", "error", "error"}));
    EXPECT_EQ(StateOf("Rapida").runs.back().exitCode, 3);
    const TaskState terca = StateOf("Terca");
    EXPECT_EQ(resultsOf(terca), (std::vector<std::string>{"skipped", "skipped", "killed"}));
    EXPECT_EQ(terca.runs.back().signal, SIGKILL);
    EXPECT_EQ(terca.runs.back().start, Utc(2030, 1, 1, 10, 0));
    EXPECT_EQ(terca.next, Utc(2030, 1, 2, 10, 0));
}

TEST_F(RunnerCoreTest, StartsMissedAcrossASuspendOrAClockJumpAreRecordedNotRun) {
    SchedTrigger hourly = MakeTrigger(trigger::Daily, 2030, 1, 1, 10, 0);
    hourly.setInterval(60);
    hourly.setDuration(24 * 60);
    SaveTask("Horaria", ScriptTask(Script("horaria.sh", "true"), {hourly}));

    clock_.now = Utc(2030, 1, 1, 10, 0);
    core_->Poll();
    WaitForRuns();
    clock_.now = Utc(2030, 1, 1, 14, 30); // the host slept from 10:05 to 14:30
    core_->Poll();
    EXPECT_EQ(core_->RunningCount(), 0u);
    TaskState state = StateOf("Horaria");
    ASSERT_EQ(resultsOf(state), (std::vector<std::string>{"ok", "missed", "missed", "missed", "missed"}));
    EXPECT_EQ(state.runs[1].start, Utc(2030, 1, 1, 11, 0));
    EXPECT_EQ(state.runs[4].start, Utc(2030, 1, 1, 14, 0));
    EXPECT_THAT(state.runs[4].reason, HasSubstr("suspendido"));
    EXPECT_EQ(core_->NextStart(), Utc(2030, 1, 1, 15, 0));

    // Set back: the starts count again from the new time, none is lost or recorded.
    clock_.now = Utc(2030, 1, 1, 8, 20);
    core_->ClockChanged();
    EXPECT_EQ(core_->NextStart(), Utc(2030, 1, 1, 10, 0));
    // Set forward by hand: as a suspend.
    clock_.now = Utc(2030, 1, 1, 12, 10);
    core_->ClockChanged();
    core_->Poll();
    EXPECT_EQ(resultsOf(StateOf("Horaria")).size(), 8u);
    EXPECT_EQ(core_->NextStart(), Utc(2030, 1, 1, 13, 0));
    // Another time zone: the same wall times are other instants.
    core_->ZoneChanged(ScheduleZone::Named("Asia/Kolkata"));
    EXPECT_EQ(core_->NextStart(), Utc(2030, 1, 1, 12, 30)) << "18:00 in Kolkata is 12:30 UTC";
}

TEST_F(RunnerCoreTest, StartsMissedWhileNoRunnerRanAndRunsLeftBehindAreRecordedAtStart) {
    SaveTask("Diaria",
             ScriptTask(Script("diaria.sh", "true"), {MakeTrigger(trigger::Daily, 2030, 1, 1, 10, 0)}));
    core_->FlushStates(100);
    EXPECT_EQ(StateOf("Diaria").next, Utc(2030, 1, 1, 10, 0));
    TaskState left = StateOf("Diaria");
    left.running = RunningRun{Utc(2030, 1, 1, 8, 0), 999999, ""};
    StateFolder(state_).Write("Diaria", left);

    clock_.now = Utc(2030, 1, 1, 12, 0); // the runner was down from 09:00 to 12:00
    MakeCore();
    core_->Start();
    core_->Poll();
    EXPECT_EQ(core_->RunningCount(), 0u);
    const TaskState state = StateOf("Diaria");
    ASSERT_EQ(resultsOf(state), (std::vector<std::string>{"error", "missed"}));
    EXPECT_THAT(state.runs[0].reason, HasSubstr("se desconoce"));
    EXPECT_EQ(state.runs[1].start, Utc(2030, 1, 1, 10, 0));
    EXPECT_FALSE(state.running);
    EXPECT_EQ(core_->NextStart(), Utc(2030, 1, 2, 10, 0));
}

TEST_F(RunnerCoreTest, DeleteWhenDoneRemovesOnlyATaskWithoutFutureStarts) {
    JobData once = ScriptTask(Script("una.sh", "true"), {MakeTrigger(trigger::Once, 2030, 1, 1, 10, 0)});
    once.flags = taskflag::deleteWhenDone;
    SaveTask("Una vez", once);
    JobData daily = once;
    daily.triggers.items()[0].setTriggerType(trigger::Daily);
    SaveTask("Cada dia", daily);

    clock_.now = Utc(2030, 1, 1, 10, 0);
    core_->Poll();
    WaitForRuns();
    EXPECT_FALSE(fs::exists(store_ / "Una vez.job"));
    EXPECT_TRUE(fs::exists(store_ / "Cada dia.job"));
    EXPECT_EQ(core_->TaskCount(), 1u);
    EXPECT_EQ(resultsOf(StateOf("Una vez")), std::vector<std::string>{"ok"}) << "its history stays";
}

TEST_F(RunnerCoreTest, RunNowStartsATaskAndASecondRequestWhileItRunsIsSkipped) {
    SaveTask("Manual", ScriptTask(Script("manual.sh", "sleep 1; echo hecho")));
    core_->RunNow("MANUAL");
    EXPECT_TRUE(core_->IsRunning("Manual"));
    EXPECT_TRUE(StateOf("Manual").running) << "status shows the run while it goes";
    core_->RunNow("manual");
    WaitForRuns();
    const TaskState state = StateOf("Manual");
    EXPECT_EQ(resultsOf(state), (std::vector<std::string>{"skipped", "ok"}));
    EXPECT_EQ(LogOf(state.runs.back()), "hecho\n");
    EXPECT_TRUE(state.runs.front().log.empty());
}

TEST_F(RunnerCoreTest, StartupTriggersRunOncePerBootAndUnsupportedTriggersAreToldOnce) {
    SchedTrigger boot;
    boot.setTriggerType(trigger::AtSystemStart);
    SaveTask("Arranque", ScriptTask(Script("arranque.sh", "true"), {boot}));
    SchedTrigger logon;
    logon.setTriggerType(trigger::AtLogon);
    SaveTask("Sesion", ScriptTask(Script("sesion.sh", "true"), {logon}));

    for (const char* bootId : {"boot-1", "boot-1", "boot-2"}) {
        options_.bootId = bootId;
        MakeCore();
        core_->Start();
        WaitForRuns();
    }
    EXPECT_EQ(resultsOf(StateOf("Arranque")), (std::vector<std::string>{"ok", "ok"}));
    const TaskState session = StateOf("Sesion");
    ASSERT_EQ(resultsOf(session), std::vector<std::string>{"skipped"});
    EXPECT_THAT(session.runs[0].reason, HasSubstr("«Al iniciar sesión» aún no se admite"));
}

TEST_F(RunnerCoreTest, LogsAreCutAtTheLimitAndOnlyTheLastTenAreKept) {
    options_.logLimit = 4096;
    MakeCore();
    core_->Start();
    SaveTask("Habladora", ScriptTask(Script(
                              "habla.sh", "i=0; while [ $i -lt 2000 ]; do echo linea $i; i=$((i+1)); done")));
    for (int run = 0; run < 12; ++run) {
        core_->RunNow("Habladora");
        WaitForRuns();
    }
    const TaskState state = StateOf("Habladora");
    ASSERT_EQ(state.runs.size(), 12u);
    const std::string log = LogOf(state.runs.back());
    EXPECT_LE(log.size(), 4096u);
    EXPECT_EQ(log.rfind("linea 0\n", 0), 0u);
    EXPECT_THAT(log.substr(log.size() - 120), HasSubstr("salida recortada"));
    std::size_t logs = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(state_ / "logs" / "Habladora"))
        ++logs;
    EXPECT_EQ(logs, 10u);
    EXPECT_FALSE(fs::exists(state.runs.front().log)) << "the oldest logs are removed";
}

TEST_F(RunnerCoreTest, AStoppingRunnerEndsItsRunsAndRecordsThem) {
    SaveTask("Larga", ScriptTask(Script("larga.sh", "sleep 60")));
    core_->RunNow("Larga");
    core_->Stop(500ms);
    EXPECT_EQ(core_->RunningCount(), 0u);
    const TaskState state = StateOf("Larga");
    EXPECT_EQ(resultsOf(state), std::vector<std::string>{"killed"});
    EXPECT_EQ(state.runs.back().signal, SIGTERM);
    EXPECT_FALSE(state.running);
}

} // namespace brio::test

namespace brio::test {

TEST_F(RunnerCoreTest, AnEndRequestEndsTheRunEvenWhenItIgnoresSigterm) {
    SaveTask("Terca", ScriptTask(Script("terca.sh", "trap 'echo TERM' TERM\nwhile :; do sleep 0.1; done")));
    core_->EndNow("Terca");
    EXPECT_THAT(messages_.str(), testing::HasSubstr("«Terca», que no está en ejecución"));
    core_->RunNow("Terca");
    std::this_thread::sleep_for(300ms); // the trap is set
    core_->EndNow("terca");
    std::this_thread::sleep_for(300ms);
    core_->Poll();
    EXPECT_TRUE(core_->IsRunning("Terca")) << "the script outlives SIGTERM";
    clock_.now += options_.killGrace;
    core_->Poll(); // the grace is over: SIGKILL
    WaitForRuns();
    const TaskState state = StateOf("Terca");
    ASSERT_EQ(state.runs.size(), 1u);
    EXPECT_EQ(state.runs[0].result, runresult::killed);
    EXPECT_EQ(state.runs[0].reason, "finalizada por el administrador");
    EXPECT_EQ(state.runs[0].signal, SIGKILL);
    EXPECT_THAT(LogOf(state.runs[0]), testing::HasSubstr("TERM"));
}

} // namespace brio::test
