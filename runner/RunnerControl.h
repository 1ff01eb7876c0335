#pragma once

#include "StateFolder.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brio {

// The running runner's hold on its state folder: an exclusive lock on "runner.pid", which holds its
// process id. One runner per store; the lock goes with the process, however it ends.
class RunnerLock {
public:
    // Takes the lock in the opened state folder (the file private to the runner); another runner on the
    // same state folder is BrioError 70 naming its process.
    explicit RunnerLock(const StateFolder& state);
    ~RunnerLock();
    RunnerLock(const RunnerLock&) = delete;
    RunnerLock& operator=(const RunnerLock&) = delete;

private:
    UniqueFd fd_;
};

// The process id of the runner working on this state folder; none when no runner runs.
std::optional<int> RunningRunner(const StateFolder& state);

// Asks the running runner to start a task now: a request file it picks up at once. No runner is
// BrioError 91 saying so. Gives the request file, which the runner removes once it has taken it.
std::filesystem::path RequestRun(const StateFolder& state, const std::string& name);
// Waits until the runner has taken a request; false when it has not within `timeout`.
bool WaitForPickup(const std::filesystem::path& request, std::chrono::milliseconds timeout);

// Asks the running runner to start a task now and waits until it has taken the request: the runner's
// process id. No runner, or one that does not take the request within `wait`, is BrioError 91.
int StartThroughRunner(const StateFolder& state, const std::string& name, std::chrono::milliseconds wait);

// Asks the running runner to end the task's run now (SIGTERM to its processes, SIGKILL after the
// grace), as RequestRun asks it to start one.
std::filesystem::path RequestEnd(const StateFolder& state, const std::string& name);
// The same, waiting until the runner has taken the request, as StartThroughRunner does.
int EndThroughRunner(const StateFolder& state, const std::string& name, std::chrono::milliseconds wait);

// What a request asks of the runner.
enum class RequestKind { Run, End };
struct RunnerRequest {
    RequestKind kind = RequestKind::Run;
    std::string name; // the task's name as the person wrote it
    bool operator==(const RunnerRequest&) const = default;
};

// The runner's side: the waiting requests, oldest first, each request removed. Only small regular
// files of the folder's owner with one name are read; why any other was thrown away goes to
// `problems`, without its content.
std::vector<RunnerRequest> TakeRequests(const StateFolder& state,
                                        std::vector<std::string>* problems = nullptr);

} // namespace brio
