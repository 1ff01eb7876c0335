#pragma once

#include "FolderLock.h"
#include "TaskFileAccess.h"

#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

namespace brio {

// This process's listing of each task folder's names by their key, valid while neither the lock file's
// change count nor the folder's stamp changes, so a writer over many tasks lists the folder once.

// The stored names with that key, from the folder's listing, which is read again only when another
// writer or a person changed the folder. Called under the folder's lock; `own` are an open batch's
// temporaries, kept when the folder is listed. Fails with the system's error number when the folder
// cannot be read.
std::vector<std::string> NamesWithKey(const std::filesystem::path& folder, const FolderLock& lock,
                                      const std::string& key,
                                      const std::unordered_set<std::string>* own = nullptr);

// Records this writer's own change in the cached listing and in the lock file's count.
void NoteChange(const std::filesystem::path& folder, const FolderLock& lock,
                const std::vector<std::string>& added, const std::vector<std::string>& removed);

// After a change of the folder that adds or removes no task file (a batch's temporary), the cached
// listing stays valid when it was valid before it (`before` is the folder's stamp then).
void KeepListing(const std::filesystem::path& folder, const FolderLock& lock, const VersionStamp& before);

} // namespace brio
