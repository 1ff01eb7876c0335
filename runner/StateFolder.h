#pragma once

#include "TaskState.h"
#include "TrustedFolder.h"
#include "UniqueFd.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brio {

// A new run's log file, open for writing.
struct NewLogFile {
    UniqueFd fd;
    std::filesystem::path path;
};

// The runner's state folder: "tasks/<name>.state" per task, "logs/<name>/" with the logs of its last
// runs, "requests/" for the command line's run requests, the runner's lock file and the boot id.
// The runner opens it once (Open) and then reaches every file through the folders' descriptors; the
// window and the command line read it through the same calls without opening it so.
class StateFolder {
public:
    static constexpr std::size_t kKeptLogs = 10;

    explicit StateFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // $BRIOSCHEDULE_STATE when set, else "state" beside the store folder.
    static std::filesystem::path For(const std::filesystem::path& storeFolder);

    const std::filesystem::path& Folder() const noexcept { return folder_; }
    std::filesystem::path RequestFolder() const { return folder_ / "requests"; }
    std::filesystem::path LockFile() const { return folder_ / "runner.pid"; }

    // The runner's side: checks the folder, every folder above it and its parts as trusted folders of
    // `owner`, making what is missing (private to the owner), and keeps them open. Throws
    // FolderRuleError for a folder that breaks the rule, BrioError for other failures.
    void Open(uid_t owner);
    bool IsOpen() const noexcept { return root_.IsOpen(); }
    // The folder itself and its request folder: the runner's own descriptors, or opened for reading.
    TrustedFolder Root() const;
    TrustedFolder Requests() const;

    // The task's state; an empty state when it has none. A file that cannot be read gives an empty
    // state and the reason in `problem`.
    TaskState Read(const std::string& name, std::string* problem = nullptr) const;
    // Replaces the task's state file atomically. `durable` also flushes it to disk before it takes the
    // old one's place (runs are recorded so); without it a crash may leave the previous state, never a
    // torn one. Throws BrioError.
    void Write(const std::string& name, const TaskState& state, bool durable = true) const;
    // The names of the tasks that have a state file.
    std::vector<std::string> Names() const;

    // A new log file for a run starting at `start`, in the task's log folder (made when missing).
    // Throws BrioError, FolderRuleError when the task's log folder is not its own.
    NewLogFile CreateLog(const std::string& name, std::chrono::sys_seconds start) const;
    // Removes one log of the task (a run that never started).
    void RemoveLog(const std::string& name, const std::string& file) const;
    // Removes the task's oldest logs beyond kKeptLogs.
    void PruneLogs(const std::string& name) const;

    // The last instant a runner was known to run on this folder (told at every rescan and at its stop).
    std::optional<std::chrono::sys_seconds> LastSeen() const;
    void SetLastSeen(std::chrono::sys_seconds when) const;

    // The boot id the runner saw last; empty when none.
    std::string BootId() const;
    void SetBootId(const std::string& id) const;

private:
    TrustedFolder part(const TrustedFolder& open, const char* name) const;

    std::filesystem::path folder_;
    TrustedFolder root_;
    TrustedFolder tasks_;
    TrustedFolder logs_;
    TrustedFolder requests_;
};

// This boot's id (/proc/sys/kernel/random/boot_id); empty when it cannot be read.
std::string CurrentBootId();

} // namespace brio
