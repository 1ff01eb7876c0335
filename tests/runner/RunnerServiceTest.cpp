// The runner as a service: its settings read again on SIGHUP, checked at start, its lines for the
// journal, starts missed while no runner ran by tasks it never saw, and output it could not keep.
#include "RunnerFixture.h"

#include "RunnerControl.h"
#include "StateFolder.h"
#include "TaskStore.h"

#include <gmock/gmock.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::HasSubstr;

namespace brio::test {

class RunnerServiceTest : public RunnerFixture {
protected:
    std::vector<std::string> Environment() const {
        return {"BRIOSCHEDULE_TASKS=" + store_.string(), "BRIOSCHEDULE_DRIVES=C:=" + drive_.string(),
                "BRIOSCHEDULE_RUNNER_CONF=" + (root_ / "runner.conf").string(),
                "BRIOSCHEDULE_STATE=", "TZ=UTC"};
    }
    std::string Said() const { return ReadText(root_ / "runner.err"); }
    bool WaitToSay(const std::string& text) {
        return waitFor([&] { return Said().find(text) != std::string::npos; }, 5s);
    }
};

TEST_F(RunnerServiceTest, SighupTakesNewSettingsWholeAndKeepsTheOldOnesWhenTheNewAreBad) {
    SaveTask("Cierre", ScriptTask(Script("cierre.exe", "true")));
    core_->Stop(2s);
    core_.reset();
    WriteText(root_ / "runner.conf", "WineCommand=/no/existe/wine-a\n");
    RunnerProcess runner(Environment(), root_ / "runner.err");
    ASSERT_TRUE(WaitToSay("en marcha")) << Said();
    const auto reasonOfRun = [&](std::size_t count) {
        RequestRun(StateFolder(state_), "Cierre");
        EXPECT_TRUE(waitFor([&] { return StateOf("Cierre").runs.size() == count; }, 5s)) << Said();
        const TaskState state = StateOf("Cierre");
        return state.runs.empty() ? std::string() : state.runs.back().reason;
    };
    EXPECT_THAT(reasonOfRun(1), HasSubstr("wine-a"));

    struct Case {
        std::function<void()> change;
        const char* said;
        const char* wine; // in the next run's reason
    };
    const Case cases[] = {
        {[&] { WriteText(root_ / "runner.conf", "WineCommand=/no/existe/wine-b\n"); },
         "configuración leída de nuevo", "wine-b"},
        {[&] { WriteText(root_ / "runner.conf", "WineCommand=/no/existe/wine-c\nClave=1\n"); },
         "clave desconocida «Clave»; se mantiene la configuración anterior", "wine-b"},
        {[&] { WriteText(root_ / "runner.conf", "ServiceUser=cuenta-que-no-existe\n"); },
         "(ServiceUser) no existe en este equipo; se mantiene", "wine-b"},
        {[&] {
             fs::remove(root_ / "runner.conf");
             fs::create_directory(root_ / "runner.conf");
         },
         "se mantiene la configuración anterior", "wine-b"},
    };
    std::size_t runs = 1;
    for (const Case& c : cases) {
        c.change();
        const std::size_t before = Said().size();
        ::kill(runner.pid(), SIGHUP);
        EXPECT_TRUE(waitFor([&] { return Said().find(c.said, before) != std::string::npos; }, 5s)) << Said();
        EXPECT_THAT(reasonOfRun(++runs), HasSubstr(c.wine));
    }
    EXPECT_EQ(runner.Stop(), 0);
}

TEST_F(RunnerServiceTest, AnUnknownServiceUserStopsTheStartAndJournalLinesCarryOnlyTheirPriority) {
    if (!Root())
        GTEST_SKIP() << "only the system runner uses the service user";
    core_->Stop(2s);
    core_.reset();
    WriteText(root_ / "runner.conf", "ServiceUser=cuenta-que-no-existe\n");
    WriteText(root_ / "runner.err", "");
    struct stat info {};
    ASSERT_EQ(::stat((root_ / "runner.err").c_str(), &info), 0);
    std::vector<std::string> env = Environment();
    env.push_back("JOURNAL_STREAM=" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino));
    RunnerProcess runner(env, root_ / "runner.err");
    EXPECT_EQ(runner.WaitExit(5s), 78);
    EXPECT_EQ(Said().rfind("<3>la cuenta de servicio «cuenta-que-no-existe» (ServiceUser) no existe", 0), 0u)
        << Said();
    EXPECT_THAT(Said(), testing::Not(HasSubstr("brioschedule-runner:")));
}

TEST_F(RunnerServiceTest, ATaskMadeWhileNoRunnerRanHasItsStartsSinceThenRecordedAsMissed) {
    clock_.now = Utc(2030, 1, 1, 9, 0);
    core_->Stop(2s); // the runner was last seen at 9:00
    core_.reset();
    const std::string program = Script("nada.sh", "true");
    const auto madeAt = [&](const std::string& name, std::chrono::sys_seconds when) {
        TaskStore store(store_);
        store.Refresh();
        SchedTaskPtr task = store.ReplaceTask(name);
        task->setApplicationName(program);
        task->Triggers().items().push_back(MakeTrigger(trigger::Daily, 2030, 1, 1, 10, 0));
        task->Save();
        const timespec times[2] = {{when.time_since_epoch().count(), 0},
                                   {when.time_since_epoch().count(), 0}};
        ::utimensat(AT_FDCWD, (store_ / (name + ".job")).c_str(), times, 0);
    };
    madeAt("Nueva", Utc(2030, 1, 1, 9, 30)); // after the stop: missed at 10:00
    madeAt("Vieja", Utc(2030, 1, 1, 8, 30)); // before it: the runner that ran then had it
    clock_.now = Utc(2030, 1, 1, 12, 0);
    MakeCore();
    core_->Start();
    core_->Poll();
    const TaskState fresh = StateOf("Nueva");
    ASSERT_EQ(fresh.runs.size(), 1u);
    EXPECT_EQ(fresh.runs[0].result, runresult::missed);
    EXPECT_EQ(fresh.runs[0].start, Utc(2030, 1, 1, 10, 0));
    EXPECT_TRUE(StateOf("Vieja").runs.empty());
    EXPECT_EQ(StateOf("Nueva").next, Utc(2030, 1, 2, 10, 0));
}

TEST_F(RunnerServiceTest, OutputThatCannotBeKeptIsSaidInTheRecord) {
    SaveTask("Habladora", ScriptTask(Script("habla.sh", "head -c 20000 /dev/zero | tr '\\0' x")));
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 4096; // the log file may not grow beyond this; the state file stays smaller
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    core_->RunNow("Habladora");
    WaitForRuns();
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, SIG_DFL);
    const TaskState state = StateOf("Habladora");
    ASSERT_EQ(state.runs.size(), 1u);
    EXPECT_EQ(state.runs[0].result, runresult::ok);
    EXPECT_THAT(state.runs[0].reason, HasSubstr("la salida no se pudo guardar: "));
}

} // namespace brio::test

namespace brio::test {

TEST_F(RunnerServiceTest, ARunWithoutDescriptorsLeftSaysSo) {
    SaveTask("Corta", ScriptTask(Script("corta.sh", "true")));
    std::size_t open = 0;
    for ([[maybe_unused]] const auto& fd : fs::directory_iterator("/proc/self/fd"))
        ++open;
    rlimit before{};
    ::getrlimit(RLIMIT_NOFILE, &before);
    rlimit tight = before;
    tight.rlim_cur = open + 1; // the run's log, and then no room for its output pipe
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    core_->RunNow("Corta");
    ::setrlimit(RLIMIT_NOFILE, &before);
    WaitForRuns();
    const TaskState state = StateOf("Corta");
    ASSERT_EQ(state.runs.size(), 1u);
    EXPECT_EQ(state.runs[0].result, runresult::launchFailed);
    EXPECT_THAT(state.runs[0].reason, HasSubstr("LimitNOFILE")) << state.runs[0].reason;
}

} // namespace brio::test
