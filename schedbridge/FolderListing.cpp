#include "FolderListing.h"

#include "BrioError.h"
#include "SystemMessages.h"
#include "TaskName.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace brio {

namespace {

struct Listing {
    std::uint64_t generation = 0;
    VersionStamp folder;
    std::unordered_map<std::string, std::vector<std::string>> namesByKey;
};

std::mutex g_listingMutex;
std::unordered_map<std::string, Listing> g_listings;

[[noreturn]] void failToRead(const fs::path& folder, int code) {
    throw BrioError(SystemErrorNumber(code), "no se puede leer la carpeta del almacén de tareas «" +
                                                 folder.string() + "»: " + SystemErrorText(code));
}

} // namespace

std::vector<std::string> NamesWithKey(const fs::path& folder, const FolderLock& lock, const std::string& key,
                                      const std::unordered_set<std::string>* own) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        failToRead(folder, errno);
    const std::uint64_t generation = lock.generation();
    const std::lock_guard guard(g_listingMutex);
    Listing& listing = g_listings[folder.native()];
    const auto namesOf = [&]() -> std::vector<std::string> {
        const auto found = listing.namesByKey.find(key);
        return found == listing.namesByKey.end() ? std::vector<std::string>() : found->second;
    };
    if (listing.generation == generation && listing.folder == VersionStampOf(info) && generation != 0)
        return namesOf();
    listing = Listing{generation, VersionStampOf(info), {}};
    int code = 0;
    if (!ForEachTaskFile(
            folder, code,
            [&](std::string_view other) { listing.namesByKey[TaskNameKey(other)].emplace_back(other); },
            own)) {
        g_listings.erase(folder.native());
        failToRead(folder, code);
    }
    return namesOf();
}

void NoteChange(const fs::path& folder, const FolderLock& lock, const std::vector<std::string>& added,
                const std::vector<std::string>& removed) {
    const std::uint64_t before = lock.generation();
    lock.bumpGeneration();
    struct stat info {};
    const bool stated = ::stat(folder.c_str(), &info) == 0;
    const std::lock_guard guard(g_listingMutex);
    const auto it = g_listings.find(folder.native());
    if (it == g_listings.end())
        return;
    Listing& listing = it->second;
    if (!stated || listing.generation != before || lock.generation() != before + 1) {
        g_listings.erase(it); // not sure what the folder holds now: list it again next time
        return;
    }
    for (const std::string& name : removed) {
        auto& names = listing.namesByKey[TaskNameKey(name)];
        names.erase(std::remove(names.begin(), names.end(), name), names.end());
    }
    for (const std::string& name : added) {
        auto& names = listing.namesByKey[TaskNameKey(name)];
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    listing.generation = before + 1;
    listing.folder = VersionStampOf(info);
}

void KeepListing(const fs::path& folder, const FolderLock& lock, const VersionStamp& before) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return;
    const std::lock_guard guard(g_listingMutex);
    const auto it = g_listings.find(folder.native());
    if (it != g_listings.end() && it->second.generation == lock.generation() && it->second.folder == before)
        it->second.folder = VersionStampOf(info);
}

} // namespace brio
