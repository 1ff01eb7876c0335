#pragma once

#include "HostPaths.h"
#include "JobFile.h"
#include "RunnerConfig.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace brio {

// What the runner knows when it turns a task into a process.
struct LaunchContext {
    bool systemMode = false; // running as root: tasks run as their accounts
    std::string ownUser;     // the runner's own user name
    RunnerConfig config;     // service user and Wine command
    // The administrator's drive map of stored paths; without one, each account's own Wine prefix
    // (~/.wine) gives it, else C: is /.
    std::optional<HostPaths> drives;
};

// One process to start: already checked, with every path mapped to the host.
struct LaunchPlan {
    std::vector<std::string> argv; // argv[0] is the executable's full host path
    std::vector<std::string> env;  // "NAME=value"
    std::filesystem::path folder;  // the working folder
    std::string user;              // the account it runs as
    uid_t uid = 0;
    gid_t gid = 0;
    bool switchUser = false; // the launcher becomes `user` (PAM, groups, ids) before exec
};

// The plan for a task, or none with the reason in Spanish in `reason`: no program, a drive without
// mapping, a relative path, a missing program or working folder, a folder or a file that cannot be
// executed, a missing Wine, an account that does not exist, is locked or that this runner cannot become.
std::optional<LaunchPlan> PlanLaunch(const JobData& job, const LaunchContext& context, std::string& reason);

// Takes the runner's settings: the configuration and its drive map (BRIOSCHEDULE_DRIVES in the
// environment comes before Drives=).
void ApplyConfig(LaunchContext& context, RunnerConfig config);

// Whether the shadow entry of `user` is locked (its password begins with "!"); false when it has none
// or it cannot be read.
bool AccountLocked(const std::string& user);

} // namespace brio
