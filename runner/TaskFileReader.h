#pragma once

#include "JobFile.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace brio {

// What identifies one version of a task file: a save renames a new file into place.
struct FileStamp {
    std::uint64_t dev = 0;
    std::uint64_t ino = 0;
    std::int64_t size = 0;
    std::int64_t mtime = 0;
    std::int64_t ctime = 0;
    bool operator==(const FileStamp&) const = default;
};

// One task file as the runner reads it.
struct TaskFile {
    JobData job;
    FileStamp stamp;
};

// The stamp of the file a path leads to; false when it is gone.
bool StampOf(const std::filesystem::path& file, FileStamp& stamp);

// Reads and parses a task file. With `trusted` (the system runner) the file must be a regular file,
// not a symbolic link, owned by root and not writable by group or others. False with the reason in
// Spanish in `problem`; `missing` tells a file that is simply gone.
bool ReadTaskFile(const std::filesystem::path& file, bool trusted, TaskFile& task, std::string& problem,
                  bool& missing);

// Why the system runner must not run the tasks of this store folder (owned by root, mode 0700, not a
// symbolic link); empty when it may.
std::string StoreFolderProblem(const std::filesystem::path& folder);

} // namespace brio
