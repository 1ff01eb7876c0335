#pragma once

#include <filesystem>
#include <string>

namespace brio {

// The writers' lock of one list file: an exclusive advisory lock (flock) on a lock file beside it,
// ".<list file name>.lock" (".TaskConfig.XML.lock"), held for the life of the object. Every
// load-change-save of the list file runs inside one, so writers in several processes never lose each
// other's changes; readers take none. A process holds a list file's lock at most once: a lock taken
// while the same process already holds it shares the outer one and waits for nothing, so a command may
// take it once around many changes (each of which takes it again) without ever waiting on itself.
//
// The holder that takes the lock first in the process removes what killed writers left beside the list
// file: its temporaries ".<name>.XXXXXX" and "<name>_". Every writer makes those only under the lock,
// so whatever is there when the lock is taken is stale.
//
// Not for threads: one thread of a process uses a list file's lock at a time.
class ListFileLock {
public:
    explicit ListFileLock(const std::filesystem::path& listFile);
    ~ListFileLock();
    ListFileLock(const ListFileLock&) = delete;
    ListFileLock& operator=(const ListFileLock&) = delete;

    // The lock file of a list file.
    static std::filesystem::path LockFileOf(const std::filesystem::path& listFile);
    // Whether this process holds the lock of that list file now.
    static bool Held(const std::filesystem::path& listFile);

private:
    std::string key_;
};

// Removes the temporaries of `target` that a writer killed before its rename left in its folder:
// ".<name>.XXXXXX" (six letters or digits) and, with `withUnderscore`, "<name>_". Only regular files
// and symbolic links are removed; the caller must hold the lock under which such files are made.
void RemoveStaleTemporaries(const std::filesystem::path& target, bool withUnderscore);

} // namespace brio
