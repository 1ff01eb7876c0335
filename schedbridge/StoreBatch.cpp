#include "StoreBatch.h"

#include "FolderListing.h"

#include <algorithm>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

StoreBatch::~StoreBatch() {
    discard();
    if (lock)
        FolderLock::ReleaseFromBatch(folder);
}

const FolderLock& StoreBatch::exclusive(const fs::path& storeFolder) {
    if (!lock) {
        lock.emplace(storeFolder, LOCK_EX);
        // A listing is reused only under a counted generation: a store no writer has counted in yet
        // starts counting here, or every change of a long batch would list the folder again.
        if (lock->generation() == 0)
            lock->bumpGeneration();
        folder = storeFolder;
        FolderLock::ClaimForBatch(folder);
    }
    return *lock;
}

void StoreBatch::cancel(std::size_t index) {
    Change& change = changes[index];
    ::unlink(change.staged.temporary.c_str());
    temporaries.erase(change.staged.temporary.filename().native());
    saved.erase(change.name);
    change.cancelled = true;
}

void StoreBatch::discard() {
    for (const Change& change : changes) {
        if (!change.cancelled && !change.staged.temporary.empty())
            ::unlink(change.staged.temporary.c_str());
    }
    changes.clear();
    saved.clear();
    touched.clear();
    temporaries.clear();
}

std::optional<bool> PresentAfter(const StoreBatch* batch, const std::string& key, const std::string& name) {
    if (batch) {
        if (const auto names = batch->touched.find(key); names != batch->touched.end()) {
            if (const auto it = names->second.find(name); it != names->second.end())
                return it->second;
        }
    }
    return std::nullopt;
}

bool ExistsNow(const StoreBatch* batch, const std::string& key, const std::string& name,
               const fs::path& file) {
    if (const std::optional<bool> present = PresentAfter(batch, key, name))
        return *present;
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0;
}

std::vector<std::string> NamesNow(const fs::path& folder, const FolderLock& lock, const StoreBatch* batch,
                                  const std::string& key) {
    std::vector<std::string> names = NamesWithKey(folder, lock, key, batch ? &batch->temporaries : nullptr);
    if (!batch)
        return names;
    const auto touched = batch->touched.find(key);
    if (touched == batch->touched.end())
        return names;
    std::erase_if(names, [&](const std::string& name) { return touched->second.count(name) != 0; });
    for (const auto& [name, present] : touched->second) {
        if (present)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace brio
