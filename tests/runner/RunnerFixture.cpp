#include "RunnerFixture.h"

#include "Conversions.h"
#include "ProcessLauncher.h"
#include "TaskStore.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace brio::test {

void WritePamServices(const fs::path& folder) {
    // The auth lines only give pam_setcred a stack; the runner never authenticates.
    const std::string credentials = std::string("auth required ") + BRIO_PAM_PERMIT_MODULE + "\n";
    const std::string allow = credentials + "account required " + BRIO_PAM_PERMIT_MODULE + "\n" +
                              "session required " + BRIO_PAM_PERMIT_MODULE + "\n";
    const std::string deny = credentials + "account required " + BRIO_PAM_DENY_MODULE + "\n" +
                             "session required " + BRIO_PAM_PERMIT_MODULE + "\n";
    for (const char* name : {kPamAllow, "other", "brioschedule-runner"})
        WriteText(folder / name, allow);
    WriteText(folder / kPamDeny, deny);
    ::setenv("PAM_WRAPPER_SERVICE_DIR", folder.c_str(), 1);
}

RunnerProcess::RunnerProcess(const std::vector<std::string>& env, const fs::path& errors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> environment = env;
    for (char** item = environ; *item; ++item)
        environment.emplace_back(*item);
    std::vector<char*> envp;
    for (const std::string& item : environment)
        envp.push_back(const_cast<char*>(item.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(BRIO_RUNNER_PATH), nullptr};
    if (posix_spawn(&pid_, BRIO_RUNNER_PATH, &actions, nullptr, argv, envp.data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

std::optional<int> RunnerProcess::WaitExit(std::chrono::milliseconds limit) {
    int status = 0;
    const bool ended = pid_ > 0 && waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
    if (!ended)
        return pid_ > 0 ? std::nullopt : std::optional<int>(status_);
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

int RunnerProcess::Stop() {
    if (pid_ <= 0)
        return status_;
    ::kill(pid_, SIGTERM);
    if (const std::optional<int> status = WaitExit(std::chrono::seconds(15)))
        return *status;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    status_ = -1;
    return status_;
}

std::chrono::sys_seconds Utc(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    return sys_days(std::chrono::year(year) / month / day) + hours(hour) + minutes(minute) + seconds(second);
}

SchedTrigger MakeTrigger(std::int32_t type, int year, int month, int day, int hour, int minute) {
    SchedTrigger t;
    t.setTriggerType(type);
    t.setBeginDay(MakeDate(year, month, day));
    t.setStartTime(MakeDate(1899, 12, 30, hour, minute));
    return t;
}

RunnerFixture::RunnerFixture() : store_(root_ / "tasks"), state_(root_ / "state"), drive_(root_ / "c") {
    // nobody must reach the drive's scripts and folders.
    fs::permissions(root_.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::create_directories(drive_ / "scripts");
    fs::create_directory(store_);
    fs::permissions(store_, fs::perms::owner_all); // as the window makes it
    fs::permissions(drive_, fs::perms(0755));
    fs::permissions(drive_ / "scripts", fs::perms(0755));
    clock_.now = Utc(2030, 1, 1, 9, 0);
    options_.launch.systemMode = Root();
    options_.launch.ownUser = TaskUser();
    options_.launch.drives = HostPaths({{'C', drive_}});
    options_.killGrace = std::chrono::seconds(2);
    MakeCore();
    core_->Start();
}

RunnerFixture::~RunnerFixture() {
    if (core_)
        core_->Stop(std::chrono::milliseconds(2000)); // never leave a process behind
}

bool RunnerFixture::Root() {
    return ::geteuid() == 0;
}

std::string RunnerFixture::TaskUser() {
    if (Root())
        return "nobody";
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? entry->pw_name : "";
}

void RunnerFixture::MakeCore(ProcessLauncher* launcher) {
    if (core_)
        core_->Stop(std::chrono::milliseconds(2000));
    core_.reset();
    if (!launcher_)
        launcher_ = std::make_unique<ForkLauncher>(kPamAllow);
    core_ = std::make_unique<RunnerCore>(store_, StateFolder(state_), options_, clock_,
                                         launcher ? *launcher : *launcher_, ScheduleZone::Named("UTC"),
                                         messages_);
}

void RunnerFixture::SaveTask(const std::string& name, const JobData& job) {
    TaskStore store(store_);
    store.Refresh();
    SchedTaskPtr task = store.ReplaceTask(name);
    task->setApplicationName(job.applicationName);
    task->setParameters(job.parameters);
    task->setWorkingDirectory(job.workingDirectory);
    task->setFlags(job.flags);
    task->Triggers() = job.triggers;
    task->Save();
    if (!job.account.empty()) {
        // Only the logon check sets an account; the file is written as the store writes it.
        JobData stored = job;
        WriteText(store_ / (name + ".job"), WriteJob(stored));
        ::chmod((store_ / (name + ".job")).c_str(), 0600);
    }
    core_->TaskFileChanged(name + ".job");
}

std::string RunnerFixture::Script(const std::string& name, const std::string& body, unsigned mode) {
    const fs::path file = drive_ / "scripts" / name;
    WriteText(file, "#!/bin/sh\n" + body + "\n");
    ::chmod(file.c_str(), mode);
    return "C:\\scripts\\" + name;
}

JobData RunnerFixture::ScriptTask(const std::string& script, std::vector<SchedTrigger> triggers) {
    JobData job;
    job.applicationName = script;
    for (SchedTrigger& t : triggers)
        job.triggers.items().push_back(std::move(t));
    return job;
}

void RunnerFixture::WaitForRuns(int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        for (int fd : core_->OutputFds())
            core_->PumpOutput(fd);
        core_->Poll();
        if (core_->RunningCount() == 0)
            return;
        if (std::chrono::steady_clock::now() > until) {
            ADD_FAILURE() << "a run did not end within " << seconds << " s";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TaskState RunnerFixture::StateOf(const std::string& name) const {
    std::string problem;
    TaskState state = StateFolder(state_).Read(name, &problem);
    EXPECT_EQ(problem, "");
    return state;
}

std::string RunnerFixture::LogOf(const RunRecord& run) const {
    return ReadText(run.log);
}

} // namespace brio::test
