#pragma once

#include <cstdint>
#include <filesystem>

namespace brio {

// A lock on "<folder>/.lock" for the life of the object: shared (LOCK_SH) for reading, exclusive
// (LOCK_EX) for writing, so several processes never see or leave half a change of a task store.
class FolderLock {
public:
    // Waits for the lock. A store this process may only read is read without it (shared only). Fails
    // with the system's error number when the lock file cannot be opened for writing or locked, and with
    // err::PathFileAccess when an open batch of this process holds the folder's exclusive lock (another
    // lock of the same file in this process would wait for ever).
    FolderLock(const std::filesystem::path& folder, int operation);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Every writer counts its changes in the lock file, so a listing read under the lock can be reused
    // until any process changes the folder again; 0 when nothing was counted yet or there is no file.
    std::uint64_t generation() const;
    // Counts one more change; a failed write only makes the next writer list the folder again.
    void bumpGeneration() const;

    // Marks the folder as held by an open batch of this process, or no longer held.
    static void ClaimForBatch(const std::filesystem::path& folder);
    static void ReleaseFromBatch(const std::filesystem::path& folder);

private:
    int fd_ = -1;
};

} // namespace brio
