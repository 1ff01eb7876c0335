#pragma once

#include "JobFile.h"
#include "RunnerClock.h"
#include "RunnerCore.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace brio::test {

// The PAM services of the runner tests (pam_wrapper): one that lets every account run, one that refuses.
constexpr const char* kPamAllow = "brio-runner-allow";
constexpr const char* kPamDeny = "brio-runner-deny";

// Writes the pam_wrapper service folder of the runner tests (also "other" and "brioschedule-runner",
// for the real runner) and names it in PAM_WRAPPER_SERVICE_DIR.
void WritePamServices(const std::filesystem::path& folder);

// "2030-01-01T10:01:00Z" as an instant.
std::chrono::sys_seconds Utc(int year, int month, int day, int hour, int minute, int second = 0);

// The real runner as a child process with the environment of this test plus `env`, its standard
// error in `errors`; ended (SIGTERM, then SIGKILL) when the object goes.
class RunnerProcess {
public:
    RunnerProcess(const std::vector<std::string>& env, const std::filesystem::path& errors);
    ~RunnerProcess() { Stop(); }

    pid_t pid() const { return pid_; }
    // SIGTERM and the exit status; -1 when it had to be killed.
    int Stop();
    // Waits up to `limit` for the runner to end by itself: its exit status, or none while it runs.
    std::optional<int> WaitExit(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// Waits until `done` holds, up to `limit`; true when it did.
template <typename Condition> bool waitFor(Condition done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A clock that moves only when the test says.
class FakeClock : public RunnerClock {
public:
    std::chrono::sys_seconds now{};
    std::chrono::sys_seconds Now() const override { return now; }
};

// A trigger that starts at `hour`:`minute` from `year`-`month`-`day` (daily every day, or once).
SchedTrigger MakeTrigger(std::int32_t type, int year, int month, int day, int hour, int minute);

// A temporary store, state folder and drive C:, a clock at 2030-01-01 09:00 UTC and a started core.
// As root the core is the system runner and tasks run as nobody; otherwise the user runner.
class RunnerFixture : public ::testing::Test {
public:
    static bool Root();
    // The account tasks without one run as here.
    static std::string TaskUser();

protected:
    RunnerFixture();
    ~RunnerFixture() override;

    // A new core on the same folders (the one before is stopped); Start is the caller's.
    void MakeCore(ProcessLauncher* launcher = nullptr);
    // Saves a task in the store (as the window does) and tells the core of the changed file.
    void SaveTask(const std::string& name, const JobData& job);
    // A /bin/sh script on drive C: at "C:\scripts\<name>", executable; gives its stored path.
    std::string Script(const std::string& name, const std::string& body, unsigned mode = 0755);
    // A task that runs a script, with the given triggers.
    JobData ScriptTask(const std::string& script, std::vector<SchedTrigger> triggers = {});

    // Polls (moving the output along) until no run is going; fails the test after `seconds`.
    void WaitForRuns(int seconds = 20);
    TaskState StateOf(const std::string& name) const;
    std::string LogOf(const RunRecord& run) const;

    TempDir root_;
    std::filesystem::path store_;
    std::filesystem::path state_;
    std::filesystem::path drive_;
    FakeClock clock_;
    std::ostringstream messages_;
    RunnerOptions options_;
    std::unique_ptr<ProcessLauncher> launcher_;
    std::unique_ptr<RunnerCore> core_;
};

} // namespace brio::test
