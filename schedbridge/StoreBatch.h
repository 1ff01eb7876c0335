#pragma once

#include "AtomicFile.h"
#include "FolderLock.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace brio {

// The changes of one command over many tasks of a store folder, waiting under the folder's exclusive
// lock for the batch's end: each save as its task's written temporary, each removal as a name.
struct StoreBatch {
    // One change, waiting for the batch's end.
    struct Change {
        std::string name;       // the task
        StagedSave staged;      // its new file; an empty temporary removes the task's file instead
        bool cancelled = false; // a later save or removal of the task took its place
    };

    // The most temporaries a batch keeps before it puts its changes in place early.
    static constexpr std::size_t kMostPending = 16384;

    StoreBatch() = default;
    StoreBatch(const StoreBatch&) = delete;
    StoreBatch& operator=(const StoreBatch&) = delete;
    // Removes the temporaries not yet in place and releases the lock.
    ~StoreBatch();

    // The folder's exclusive lock, taken at the batch's first change and held to its end.
    const FolderLock& exclusive(const std::filesystem::path& storeFolder);
    // Drops the pending save at `index` of changes, and its temporary.
    void cancel(std::size_t index);
    // Removes every temporary not yet put in place.
    void discard();

    std::filesystem::path folder;
    std::optional<FolderLock> lock;
    std::vector<Change> changes;                        // in the order they were asked for
    std::unordered_map<std::string, std::size_t> saved; // task name → its pending save in changes
    std::unordered_set<std::string> temporaries;        // file names of the pending saves' temporaries
    // Every task the batch changed, by key: whether it exists once the batch is applied.
    std::unordered_map<std::string, std::unordered_map<std::string, bool>> touched;
};

// The lock for one step: the batch's exclusive lock while it holds one, else one of its own.
class StepLock {
public:
    StepLock(const std::filesystem::path& folder, const StoreBatch* batch, int operation)
        : held_(batch && batch->lock ? &*batch->lock : &own_.emplace(folder, operation)) {}
    const FolderLock& operator*() const { return *held_; }

private:
    std::optional<FolderLock> own_;
    const FolderLock* held_;
};

// Whether the task file of `name` exists once the open batch is applied; nothing when the batch (or no
// batch) leaves it as it is.
std::optional<bool> PresentAfter(const StoreBatch* batch, const std::string& key, const std::string& name);

// Whether the task file of `name` exists once the open batch (if any) is applied.
bool ExistsNow(const StoreBatch* batch, const std::string& key, const std::string& name,
               const std::filesystem::path& file);

// The stored names with that key once the open batch (if any) is applied; fails as NamesWithKey.
std::vector<std::string> NamesNow(const std::filesystem::path& folder, const FolderLock& lock,
                                  const StoreBatch* batch, const std::string& key);

} // namespace brio
