// What the system runner must not trust: folders others can change, links planted in its state folder,
// a store swapped under it, locked accounts; and the PAM session each run gets. Root only: the runner
// trusts by owner, and only root can make the hostile layouts of other users.
#include "RunnerFixture.h"

#include "LaunchPlan.h"
#include "ProcessLauncher.h"
#include "RunnerControl.h"
#include "StateFolder.h"
#include "TaskStore.h"

#include <gmock/gmock.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::HasSubstr;

namespace brio::test {

namespace {

uid_t nobodyUid() {
    const passwd* entry = ::getpwnam("nobody");
    return entry ? entry->pw_uid : 65534;
}

void saveScriptTask(const fs::path& store, const std::string& name, const std::string& program) {
    TaskStore tasks(store);
    tasks.Refresh();
    SchedTaskPtr task = tasks.ReplaceTask(name);
    task->setApplicationName(program);
    task->Save();
}

// A store, a state folder and drive C: of their own, with a task "Eco" that says "hola", and files of
// root's that no layout may change: a secret and a folder a root job would read as configuration.
struct Layout {
    TempDir root;
    fs::path store = root / "tasks";
    fs::path state = root / "state";
    fs::path secret = root / "secreto" / "clave";
    fs::path config = root / "conf.d";

    Layout() {
        fs::permissions(root.path(), fs::perms(0711));
        fs::create_directories(root / "c" / "scripts");
        fs::permissions(root / "c", fs::perms(0755));
        fs::permissions(root / "c" / "scripts", fs::perms(0755));
        WriteText(root / "c" / "scripts" / "eco.sh", "#!/bin/sh\necho hola\n");
        ::chmod((root / "c" / "scripts" / "eco.sh").c_str(), 0755);
        fs::create_directory(store);
        fs::permissions(store, fs::perms(0700));
        saveScriptTask(store, "Eco", "C:\\scripts\\eco.sh");
        StateFolder(state).Open(0);
        WriteText(secret, "solo-root\n");
        ::chmod(secret.c_str(), 0600);
        WriteText(config / "a.conf", "ajuste=1\n");
    }
    std::vector<std::string> Environment() const {
        return {"BRIOSCHEDULE_TASKS=" + store.string(), "BRIOSCHEDULE_DRIVES=C:=" + (root / "c").string(),
                "BRIOSCHEDULE_RUNNER_CONF=" + (root / "runner.conf").string(),
                "BRIOSCHEDULE_STATE=", "TZ=UTC"};
    }
    std::string Untouched() const {
        std::string seen = ReadText(secret);
        for (const fs::directory_entry& entry : fs::directory_iterator(config))
            seen += entry.path().filename().string() + "=" + ReadText(entry.path());
        return seen;
    }
    std::vector<RunRecord> Runs() const { return StateFolder(state).Read("Eco").runs; }
};

} // namespace

class RunnerTrustTest : public RunnerFixture {
protected:
    void SetUp() override {
        if (!Root())
            GTEST_SKIP() << "only root can lay out folders and files of other owners";
    }
};

TEST_F(RunnerTrustTest, HostileLayoutsAreRefusedOrRemovedAndNothingOfRootsChanges) {
    struct Case {
        const char* name;
        std::function<void(Layout&)> make;
        bool stops;                   // the runner refuses to start, with exit status 78
        const char* said;             // in the runner's messages
        const char* result = nullptr; // of a run of "Eco" asked for afterwards
    };
    const Case cases[] = {
        {"state of nobody", [](Layout& l) { ::chown(l.state.c_str(), nobodyUid(), 0); }, true,
         "es del usuario nobody"},
        {"state open to all", [](Layout& l) { ::chmod(l.state.c_str(), 0777); }, true,
         "sus permisos son 0777"},
        {"state a link",
         [](Layout& l) {
             fs::rename(l.state, l.root / "otro");
             fs::create_directory_symlink(l.root / "otro", l.state);
         },
         true, "es un enlace simbólico"},
        {"folder above writable", [](Layout& l) { ::chmod(l.root.path().c_str(), 0777); }, true,
         "otros usuarios pueden escribir en ella"},
        {"folder above sticky", [](Layout& l) { ::chmod(l.root.path().c_str(), 01777); }, false, "en marcha",
         "ok"},
        {"log folder a link",
         [](Layout& l) { fs::create_directory_symlink(l.config, l.state / "logs" / "Eco"); }, false,
         "en marcha", "launch-failed"},
        {"boot id and state links",
         [](Layout& l) {
             fs::create_symlink(l.secret, l.state / "boot_id");
             fs::create_symlink(l.secret, l.state / "tasks" / "Eco.state");
         },
         false, "se empieza de nuevo el estado de la tarea «Eco»", "ok"},
        {"request a link",
         [](Layout& l) { fs::create_symlink(l.secret, l.state / "requests" / "1-1-1.run"); }, false,
         "se descarta la petición «1-1-1.run»", "ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Layout layout;
        const std::string before = layout.Untouched();
        c.make(layout);
        RunnerProcess runner(layout.Environment(), layout.root / "runner.err");
        const auto said = [&] { return ReadText(layout.root / "runner.err"); };
        if (c.stops) {
            EXPECT_EQ(runner.WaitExit(5s), 78) << said();
            EXPECT_THAT(said(), HasSubstr("no es segura"));
        } else {
            ASSERT_TRUE(waitFor([&] { return said().find("en marcha") != std::string::npos; }, 5s)) << said();
            RequestRun(StateFolder(layout.state), "Eco");
            EXPECT_TRUE(waitFor([&] { return layout.Runs().size() == 1; }, 5s)) << said();
            if (!layout.Runs().empty()) {
                EXPECT_EQ(layout.Runs()[0].result, c.result) << layout.Runs()[0].reason;
            }
            EXPECT_EQ(runner.Stop(), 0);
        }
        EXPECT_THAT(said(), HasSubstr(c.said));
        EXPECT_THAT(said(), testing::Not(HasSubstr("solo-root"))) << "a file's content is never told";
        ::chmod(layout.root.path().c_str(), 0711);
        EXPECT_EQ(layout.Untouched(), before);
        std::error_code ec;
        EXPECT_FALSE(fs::exists(layout.state / "requests" / "1-1-1.run", ec));
    }
}

TEST_F(RunnerTrustTest, AStoreSwappedUnderTheRunnerNeverRunsTheLookAlikesTasks) {
    const fs::path marks = root_ / "marcas"; // the tasks run as nobody
    fs::create_directory(marks);
    fs::permissions(marks, fs::perms(0777));
    SaveTask("Eco", ScriptTask(Script("propio.sh", "touch '" + (marks / "propio").string() + "'")));
    const fs::path lookAlike = root_ / "parecido";
    fs::create_directory(lookAlike);
    fs::permissions(lookAlike, fs::perms(0700));
    saveScriptTask(lookAlike, "Eco", Script("intruso.sh", "touch '" + (marks / "intruso").string() + "'"));
    core_->Stop(2s);
    core_.reset();
    const std::vector<std::string> env = {
        "BRIOSCHEDULE_TASKS=" + store_.string(), "BRIOSCHEDULE_DRIVES=C:=" + drive_.string(),
        "BRIOSCHEDULE_RUNNER_CONF=" + (root_ / "runner.conf").string(), "BRIOSCHEDULE_STATE=", "TZ=UTC"};
    RunnerProcess runner(env, root_ / "runner.err");
    ASSERT_TRUE(
        waitFor([&] { return ReadText(root_ / "runner.err").find("en marcha") != std::string::npos; }, 5s));
    std::atomic<bool> swapping{true};
    std::thread swapper([&] {
        while (swapping)
            ::renameat2(AT_FDCWD, store_.c_str(), AT_FDCWD, lookAlike.c_str(), RENAME_EXCHANGE);
    });
    const auto until = std::chrono::steady_clock::now() + 20s;
    int asked = 0;
    while (std::chrono::steady_clock::now() < until) {
        RequestRun(StateFolder(state_), "Eco");
        ++asked;
        std::this_thread::sleep_for(100ms);
    }
    swapping = false;
    swapper.join();
    EXPECT_EQ(runner.Stop(), 0) << ReadText(root_ / "runner.err");
    EXPECT_GT(asked, 50);
    EXPECT_TRUE(fs::exists(marks / "propio")) << ReadText(root_ / "runner.err");
    EXPECT_FALSE(fs::exists(marks / "intruso")) << "a task file of the look-alike ran";
}

TEST_F(RunnerTrustTest, ALockedAccountIsRefusedExceptAsTheServiceUser) {
    const std::string user = "brio-prueba-bloq";
    ASSERT_EQ(std::system(("useradd --system --no-create-home --shell /usr/sbin/nologin " + user +
                           " >/dev/null 2>&1 && usermod -L " + user)
                              .c_str()),
              0);
    struct Remove {
        std::string user;
        ~Remove() { (void)!std::system(("userdel " + user + " >/dev/null 2>&1").c_str()); }
    } remove{user};
    LaunchContext context;
    context.systemMode = true;
    context.ownUser = "root";
    JobData job;
    job.applicationName = "/bin/true";
    job.account = user;
    std::string reason;
    EXPECT_FALSE(PlanLaunch(job, context, reason));
    EXPECT_EQ(reason, "la cuenta «" + user + "» está bloqueada");
    context.config.serviceUser = user;
    job.account.clear();
    EXPECT_TRUE(PlanLaunch(job, context, reason)) << reason;
    job.account = "nobody"; // not locked: "*" is no password, not a lock
    EXPECT_TRUE(PlanLaunch(job, context, reason)) << reason;
}

TEST_F(RunnerTrustTest, EachRunHasItsOwnPamSessionWithItsEnvironmentAndLimits) {
    const char* services = std::getenv("PAM_WRAPPER_SERVICE_DIR");
    ASSERT_TRUE(services);
    const fs::path modules = fs::path(BRIO_PAM_PERMIT_MODULE).parent_path();
    WriteText(root_ / "pam_env.conf", "BRIO_PRUEBA DEFAULT=hola\n");
    WriteText(root_ / "limits.conf", "nobody - nofile 321\n");
    WriteText(root_ / "tipo.sh", "#!/bin/sh\necho \"$PAM_TYPE\" >> '" + (root_ / "tipos").string() + "'\n");
    ::chmod((root_ / "tipo.sh").c_str(), 0755);
    WriteText(fs::path(services) / "brio-runner-sesion",
              "auth required " + (modules / "pam_permit.so").string() + "\n" + "account required " +
                  (modules / "pam_permit.so").string() + "\n" + "session required " +
                  (modules / "pam_env.so").string() +
                  " readenv=0 conffile=" + (root_ / "pam_env.conf").string() + "\n" + "session required " +
                  (modules / "pam_limits.so").string() + " conf=" + (root_ / "limits.conf").string() + "\n" +
                  "session optional " + (modules / "pam_exec.so").string() + " " +
                  (root_ / "tipo.sh").string() + "\n");
    ForkLauncher launcher("brio-runner-sesion");
    MakeCore(&launcher);
    core_->Start();
    SaveTask("Sesion", ScriptTask(Script("sesion.sh", "echo \"$BRIO_PRUEBA\"; ulimit -n")));
    core_->RunNow("Sesion");
    WaitForRuns();
    const TaskState state = StateOf("Sesion");
    ASSERT_EQ(state.runs.size(), 1u);
    EXPECT_EQ(state.runs[0].result, runresult::ok) << state.runs[0].reason;
    EXPECT_EQ(LogOf(state.runs[0]), "hola\n321\n");
    EXPECT_EQ(ReadText(root_ / "tipos"), "open_session\nclose_session\n") << "opened and closed once";
}

} // namespace brio::test
