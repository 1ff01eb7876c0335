#include "ListFileLock.h"

#include "BrioError.h"
#include "FileOwner.h"
#include "SystemMessages.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

struct HeldLock {
    int fd = -1;
    int depth = 0;
};

std::mutex g_mutex;
std::map<std::string, HeldLock> g_held; // by lock file path

bool isTemporaryOf(std::string_view entry, std::string_view name, bool withUnderscore) {
    if (withUnderscore && entry.size() == name.size() + 1 && entry.starts_with(name) && entry.back() == '_')
        return true;
    // "." + name + "." + six letters or digits, as mkstemp makes them
    if (entry.size() != name.size() + 8 || entry[0] != '.' || entry.substr(1, name.size()) != name ||
        entry[name.size() + 1] != '.')
        return false;
    for (char c : entry.substr(name.size() + 2)) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum)
            return false;
    }
    return true;
}

} // namespace

void RemoveStaleTemporaries(const fs::path& target, bool withUnderscore) {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const std::string name = target.filename().string();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return; // nothing can be removed where nothing can be listed
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryOf(entry->d_name, name, withUnderscore))
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

fs::path ListFileLock::LockFileOf(const fs::path& listFile) {
    std::string name = ".";
    name += listFile.filename().string();
    name += ".lock";
    return listFile.parent_path() / name;
}

bool ListFileLock::Held(const fs::path& listFile) {
    const std::lock_guard guard(g_mutex);
    return g_held.count(LockFileOf(listFile).string()) != 0;
}

ListFileLock::ListFileLock(const fs::path& listFile) : key_(LockFileOf(listFile).string()) {
    {
        const std::lock_guard guard(g_mutex);
        auto it = g_held.find(key_);
        if (it != g_held.end()) {
            ++it->second.depth; // this process holds it already: share it
            return;
        }
    }
    int fd = ::open(key_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd >= 0) {
        GiveToFolderOwner(fd,
                          listFile.parent_path()); // a lock made by root stays usable by the folder's owner
    } else if (errno == EEXIST) {
        fd = ::open(key_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0 && errno == EACCES)
            fd = ::open(key_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW); // flock needs no write access
    }
    if (fd < 0) {
        const int code = errno;
        throw BrioError(SystemErrorNumber(code),
                        "no se puede abrir el bloqueo del listado «" + key_ + "»: " + SystemErrorText(code));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw BrioError(err::PathFileAccess, "el bloqueo del listado «" + key_ + "» no es un archivo normal");
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int code = errno;
            ::close(fd);
            throw BrioError(err::PathFileAccess,
                            "no se puede bloquear el listado «" + key_ + "»: " + SystemErrorText(code));
        }
    }
    {
        const std::lock_guard guard(g_mutex);
        g_held[key_] = HeldLock{fd, 1};
    }
    RemoveStaleTemporaries(listFile, true);
}

ListFileLock::~ListFileLock() {
    const std::lock_guard guard(g_mutex);
    auto it = g_held.find(key_);
    if (it == g_held.end() || --it->second.depth > 0)
        return;
    ::close(it->second.fd); // closing the only descriptor releases the lock
    g_held.erase(it);
}

} // namespace brio
