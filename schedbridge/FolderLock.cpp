#include "FolderLock.h"

#include "BrioError.h"
#include "SystemMessages.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <unordered_set>

namespace fs = std::filesystem;

namespace brio {

namespace {

// Folders whose exclusive lock an open batch of this process holds.
std::mutex g_batchMutex;
std::unordered_set<std::string> g_batchFolders;

[[noreturn]] void fail(const std::string& what, const fs::path& path, int code) {
    throw BrioError(SystemErrorNumber(code), what + " «" + path.string() + "»: " + SystemErrorText(code));
}

} // namespace

FolderLock::FolderLock(const fs::path& folder, int operation) {
    {
        const std::lock_guard guard(g_batchMutex);
        if (g_batchFolders.count(folder.native()) != 0)
            throw BrioError(err::PathFileAccess, "el almacén de tareas «" + folder.string() +
                                                     "» está ocupado por otra operación de este programa");
    }
    const fs::path file = folder / ".lock";
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0 && operation == LOCK_SH)
        fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW); // a store we may only read
    if (fd_ < 0) {
        if (operation == LOCK_SH)
            return; // a store this process cannot write to is read without the lock
        fail("no se puede abrir el bloqueo del almacén de tareas", file, errno);
    }
    while (::flock(fd_, operation) != 0) {
        if (errno != EINTR) {
            const int code = errno;
            ::close(fd_);
            fail("no se puede bloquear el almacén de tareas", file, code);
        }
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        ::close(fd_); // closing the last descriptor releases the lock
}

std::uint64_t FolderLock::generation() const {
    std::uint64_t value = 0;
    if (fd_ < 0 || ::pread(fd_, &value, sizeof value, 0) != static_cast<ssize_t>(sizeof value))
        return 0;
    return value;
}

void FolderLock::bumpGeneration() const {
    const std::uint64_t next = generation() + 1;
    if (fd_ >= 0 && ::pwrite(fd_, &next, sizeof next, 0) != static_cast<ssize_t>(sizeof next))
        return; // the next writer then lists the folder again, which is only slower
}

void FolderLock::ClaimForBatch(const fs::path& folder) {
    const std::lock_guard guard(g_batchMutex);
    g_batchFolders.insert(folder.native());
}

void FolderLock::ReleaseFromBatch(const fs::path& folder) {
    const std::lock_guard guard(g_batchMutex);
    g_batchFolders.erase(folder.native());
}

} // namespace brio
