#pragma once

#include "JobFile.h"
#include "TrustedFolder.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

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

FileStamp StampOf(const struct stat& info);

// One task file as the runner reads it.
struct TaskFile {
    JobData job;
    FileStamp stamp;
};

// Reads and parses the task file `fileName` of the store, as the store itself trusts it (never through
// a link). False with the reason in Spanish in `problem`; `missing` tells a file that is simply gone.
bool ReadTaskFile(const TrustedFolder& store, const std::string& fileName, TaskFile& task,
                  std::string& problem, bool& missing);

} // namespace brio
