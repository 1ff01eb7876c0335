#pragma once

#include "BrioError.h"
#include "UniqueFd.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace brio {

// A folder that breaks the rule of trusted folders (error 70): the daemon that meets one stops.
class FolderRuleError : public BrioError {
public:
    explicit FolderRuleError(const std::string& detail) : BrioError(err::PermissionDenied, detail) {}
};

// What a trusted folder's own mode may allow besides its owner.
enum class FolderAccess {
    Private, // nothing for group and others (0700)
    Shared,  // group and others may read and enter, never write
};

// The checks a file of a trusted folder passes before it is read: a regular file with one name,
// owned by `owner`, not writable by group or others, at most `maxSize` bytes.
struct FileRule {
    uid_t owner = 0;
    std::size_t maxSize = 4 * 1024 * 1024;
};

// Why an open file breaks `rule`; empty when it keeps it.
std::string FileRuleProblem(const struct stat& info, const FileRule& rule);

// How a read of a file in a trusted folder ended.
enum class FileRead { Ok, Missing, Refused };

// A folder reached once by path and from then on only through its descriptor: every file and
// sub-folder is opened relative to it without following symbolic links, so nothing that changes the
// path after the check can lead a write or a read elsewhere. Copies share the descriptor.
class TrustedFolder {
public:
    TrustedFolder() = default;

    // Opens `path` (a symbolic link there is refused) after checking every folder above it: each owned
    // by root or `owner` and not writable by group or others unless sticky. The folder itself must be
    // owned by `owner` with `access`. With `create` a missing folder, and missing folders above it, are
    // made private. A folder that breaks the rule is FolderRuleError naming it; other failures BrioError.
    static TrustedFolder Open(const std::filesystem::path& path, uid_t owner, FolderAccess access,
                              bool create);
    // Opens `path` for reading without those checks (the folder itself still not through a link), for
    // programs that only look at a folder another process keeps. Throws BrioError.
    static TrustedFolder OpenForReading(const std::filesystem::path& path);

    bool IsOpen() const noexcept { return fd_ != nullptr; }
    int Fd() const noexcept { return fd_ ? fd_->get() : -1; }
    const std::filesystem::path& Path() const noexcept { return path_; }
    std::filesystem::path PathOf(std::string_view name) const { return path_ / std::string(name); }
    // The owner its files and sub-folders must have.
    uid_t Owner() const noexcept { return owner_; }

    // The sub-folder `name`, checked as Open checks the folder itself (a checked folder only).
    TrustedFolder Sub(const std::string& name, FolderAccess access, bool create) const;
    // Why the open folder no longer keeps its rule (or was removed); empty when it still does.
    std::string Recheck() const;

    // Reads the file `name` whole; with a checked folder the file must keep `rule` (refused with the
    // reason in `problem`). `info` receives the file's status.
    FileRead Read(std::string_view name, const FileRule& rule, std::string& content, std::string& problem,
                  struct stat* info = nullptr) const;
    // Replaces `name` with `content` through a temporary and a rename in this folder: a reader sees the
    // old file or the new one, never a part; a link in its place is replaced, never followed. With
    // `durable` the data and the folder reach the disk first. Throws BrioError.
    void Write(std::string_view name, std::string_view content, mode_t mode, bool durable) const;
    // Makes a new file `name` for writing; an existing entry of that name is BrioError -2147024816.
    UniqueFd Create(std::string_view name, mode_t mode) const;
    // Removes the entry `name` (a link itself, never what it leads to); false when it was not there.
    bool Remove(std::string_view name) const;
    // The entry's own status, without following a link.
    std::optional<struct stat> Status(std::string_view name) const;
    // The names of the folder's entries ("." and ".." left out).
    std::vector<std::string> Names() const;

private:
    TrustedFolder(UniqueFd fd, std::filesystem::path path, uid_t owner, FolderAccess access, bool checked);

    std::shared_ptr<UniqueFd> fd_;
    std::filesystem::path path_;
    uid_t owner_ = 0;
    FolderAccess access_ = FolderAccess::Private;
    bool checked_ = false;
};

} // namespace brio
