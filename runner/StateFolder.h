#pragma once

#include "TaskState.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace brio {

// The runner's state folder: "tasks/<name>.state" per task, "logs/<name>/" with the logs of its last
// runs, "requests/" for the command line's run requests, the runner's lock file and the boot id.
class StateFolder {
public:
    static constexpr std::size_t kKeptLogs = 10;

    explicit StateFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // $BRIOSCHEDULE_STATE when set, else "state" beside the store folder.
    static std::filesystem::path For(const std::filesystem::path& storeFolder);

    const std::filesystem::path& Folder() const noexcept { return folder_; }
    std::filesystem::path RequestFolder() const { return folder_ / "requests"; }
    std::filesystem::path LockFile() const { return folder_ / "runner.pid"; }

    // Creates the folder and its parts, private to their owner. Throws BrioError.
    void Ensure() const;

    // The task's state; an empty state when it has none. A file that cannot be read gives an empty
    // state and the reason in `problem`.
    TaskState Read(const std::string& name, std::string* problem = nullptr) const;
    // Replaces the task's state file atomically. `durable` also flushes it to disk before it takes the
    // old one's place (runs are recorded so); without it a crash may leave the previous state, never a
    // torn one. Throws BrioError.
    void Write(const std::string& name, const TaskState& state, bool durable = true) const;
    // The names of the tasks that have a state file.
    std::vector<std::string> Names() const;

    // A new log file's path for a run starting at `start` (its folder is made).
    std::filesystem::path NewLog(const std::string& name, std::chrono::sys_seconds start) const;
    // Removes the task's oldest logs beyond kKeptLogs.
    void PruneLogs(const std::string& name) const;

    // The boot id the runner saw last; empty when none.
    std::string BootId() const;
    void SetBootId(const std::string& id) const;

private:
    std::filesystem::path folder_;
};

// This boot's id (/proc/sys/kernel/random/boot_id); empty when it cannot be read.
std::string CurrentBootId();

} // namespace brio
