#pragma once

#include "JobFile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_set>
#include <vector>

namespace brio {

// What identifies one version of a file or folder: a save renames a new file into place, so any
// change gives another inode or time.
struct VersionStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtime = 0;
    std::int64_t ctime = 0;
    bool operator==(const VersionStamp&) const = default;
};

VersionStamp VersionStampOf(const struct stat& info);

// "<folder>/<name>.job".
std::filesystem::path TaskFilePath(const std::filesystem::path& folder, const std::string& name);

// Whether a folder entry is the temporary of a task file (".<name>.job.XXXXXX"), which exists only
// while a writer holds the exclusive lock: seen under any lock, it is what a killed writer left.
bool IsTaskTemporary(std::string_view entry);

// The task name of a folder entry, or empty when the entry is not a task file.
std::string_view TaskNameOf(std::string_view entry);

// Reads a whole task file into `content`, never through a link nor waiting on a FIFO, and only when the
// file is trusted (TaskFileRule of the folder's owner). False with the reason in `problem` and the
// system's error in `code` (0 when the file is not trusted); `stamp` gets the version read.
bool ReadWholeTaskFile(const std::filesystem::path& file, std::string& content, std::string& problem,
                       int& code, VersionStamp* stamp = nullptr);

// Reads the task file of `name` into `job` through this process's parse cache, which trusts a
// remembered version only when its change is older than the file system's timestamp tick. False when
// the task is left out: its file went away since it was listed (silently), or it cannot be read as a
// task (told in `warnings`). `content` is a buffer reused between calls.
bool ReadTask(const std::filesystem::path& file, const std::string& name, JobData& job, std::string& content,
              std::vector<std::string>& warnings);

// Tells the parse cache what was just written to `file`, now in place.
void RememberWritten(const std::filesystem::path& file, const JobData& job);
// Tells the parse cache what a batch staged for `file`; its stamp is learnt by RememberPlaced.
void RememberStaged(const std::filesystem::path& file, const JobData& job);
// Tells the parse cache the stamp of a staged file now in place.
void RememberPlaced(const std::filesystem::path& file);

// Task files read and parsed from disk by this process.
std::uint64_t TaskFilesRead();

// Calls `visit(name)` for every task file of the folder; false with the system's error in `code` when
// the folder cannot be listed. The temporaries named in `own` (an open batch's) are kept; any other is
// stale and removed (callers hold the folder's lock).
bool ForEachTaskFile(const std::filesystem::path& folder, int& code,
                     const std::function<void(std::string_view)>& visit,
                     const std::unordered_set<std::string>* own = nullptr);

} // namespace brio
