#include "TaskFileReader.h"

#include "TaskFileRule.h"

namespace brio {

FileStamp StampOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), info.st_size,
            info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

bool ReadTaskFile(const TrustedFolder& store, const std::string& fileName, TaskFile& task,
                  std::string& problem, bool& missing) {
    std::string content;
    struct stat info {};
    const FileRead read = store.Read(fileName, TaskFileRule(store.Owner()), content, problem, &info);
    missing = read == FileRead::Missing;
    if (read != FileRead::Ok) {
        if (missing)
            problem = "no existe";
        return false;
    }
    TaskFile parsed;
    if (!ReadJob(content, parsed.job, problem))
        return false;
    parsed.stamp = StampOf(info);
    task = std::move(parsed);
    return true;
}

} // namespace brio
