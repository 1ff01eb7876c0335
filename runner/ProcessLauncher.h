#pragma once

#include "LaunchPlan.h"

#include <string>

namespace brio {

// A process the launcher started: its id (also its process group and session) and the read end of
// the pipe that carries its standard output and error. On failure pid is -1 and `failure` says why.
struct StartedProcess {
    int pid = -1;
    int output = -1;
    std::string failure;
};

// Starts the processes of runs.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual StartedProcess Start(const LaunchPlan& plan) = 0;
};

// fork and exec in a new session and process group. A plan that switches user opens the account's PAM
// transaction on `pamService` (account, credentials, session and its environment) in the run's first
// process, which then starts the program as the account (groups and ids) and closes the session when
// the program ends, ending with the program's own status. Any step that fails before exec ends the
// run, and the reason comes back here. Standard input is /dev/null, descriptors above 2 are closed,
// signals are as a new process expects them.
class ForkLauncher : public ProcessLauncher {
public:
    explicit ForkLauncher(std::string pamService) : pamService_(std::move(pamService)) {}
    StartedProcess Start(const LaunchPlan& plan) override;

private:
    std::string pamService_;
};

// The PAM service the runner checks accounts with: "brioschedule-runner" when the host has a service
// file of that name, else the host's "other" service.
std::string RunnerPamService();

} // namespace brio
