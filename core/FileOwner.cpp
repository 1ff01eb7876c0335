#include "FileOwner.h"

#include <sys/stat.h>
#include <unistd.h>

namespace brio {

void GiveToFolderOwner(int fd, const std::filesystem::path& folder) {
    if (::geteuid() != 0)
        return;
    struct stat info {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &info) != 0)
        return;
    struct stat mine {};
    if (::fstat(fd, &mine) == 0 && (mine.st_uid != info.st_uid || mine.st_gid != info.st_gid))
        (void)!::fchown(fd, info.st_uid, info.st_gid);
}

void KeepOwner(int fd, const struct stat& existing) {
    struct stat mine {};
    if (::fstat(fd, &mine) != 0 || (mine.st_uid == existing.st_uid && mine.st_gid == existing.st_gid))
        return;
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 && mine.st_gid != existing.st_gid)
        (void)!::fchown(fd, static_cast<uid_t>(-1), existing.st_gid); // not root: the group at least
}

} // namespace brio
