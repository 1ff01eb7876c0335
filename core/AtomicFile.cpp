#include "AtomicFile.h"

#include "BrioError.h"
#include "FileOwner.h"
#include "SystemMessages.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

std::string systemText(int code) {
    return SystemErrorText(code);
}

[[noreturn]] void fail(const fs::path& file, const char* what, int code) {
    const long number = (code == EACCES || code == EPERM || code == EROFS) ? err::PermissionDenied
                        : (code == ENOENT)                                 ? err::PathNotFound
                                                                           : err::PathFileAccess;
    throw BrioError(number, std::string(what) + " «" + file.string() + "»: " + systemText(code));
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void writeAll(int fd, std::string_view content, const fs::path& temp) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            fail(temp, "no se puede escribir", code);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

// Writes what `produce` hands over into the open temporary; on any failure the temporary is closed and
// removed.
void fill(int fd, const fs::path& temp, const std::function<void(const ContentSink&)>& produce) {
    bool open = true; // writeAll closes and removes the temporary itself when a write fails
    try {
        produce([&](std::string_view piece) {
            try {
                writeAll(fd, piece, temp);
            } catch (...) {
                open = false;
                throw;
            }
        });
    } catch (...) {
        if (open) {
            ::close(fd);
            ::unlink(temp.c_str());
        }
        throw;
    }
}

void finish(int fd, const fs::path& temp, const fs::path& target, unsigned newMode,
            Durability durability = Durability::Now, const SaveCheck& check = {}) {
    if (check) {
        // The disk starts on the data now and works while the check runs.
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        try {
            check(temp);
        } catch (...) {
            ::close(fd);
            ::unlink(temp.c_str());
            throw;
        }
    }
    struct stat existing {};
    mode_t mode;
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
        KeepOwner(fd, existing); // a save by root leaves a user's file that user's
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<mode_t>(newMode) & ~mask;
        GiveToFolderOwner(fd, target.parent_path());
    }
    // A deferred save still writes its data to the device before the rename, so that a crash can never
    // leave the name on a file whose data is missing; only the wait for the file system's journal and the
    // device's cache (the costly part of fsync) is left to the one flush at the end.
    constexpr unsigned kWriteAndWait =
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    const bool flushed = durability == Durability::Now
                             ? ::fsync(fd) == 0
                             : ::sync_file_range(fd, 0, 0, kWriteAndWait) == 0 || errno == ESPIPE;
    if (::fchmod(fd, mode) != 0 || !flushed) {
        const int code = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        fail(temp, "no se puede guardar", code);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        fail(temp, "no se puede guardar", code);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        fail(target, "no se puede reemplazar", code);
    }
    if (durability == Durability::Now)
        syncFolder(target.parent_path());
}

// The file a save replaces: a symbolic link is saved through (the link stays, its target is replaced in
// its own folder); a target that is not a regular file, or that the caller may not write, is refused
// before anything is written.
fs::path saveTarget(const fs::path& target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0)
        return target; // a new file
    fs::path resolved = target;
    if (S_ISLNK(info.st_mode)) {
        char* real = ::realpath(target.c_str(), nullptr);
        if (!real)
            throw BrioError(
                err::PathFileAccess,
                "«" + target.string() +
                    "» es un enlace simbólico que no lleva a ningún archivo: " + systemText(errno));
        resolved = real;
        std::free(real);
        if (::stat(resolved.c_str(), &info) != 0)
            fail(resolved, "no se puede leer", errno);
    }
    if (!S_ISREG(info.st_mode))
        throw BrioError(err::PathFileAccess, "«" + target.string() + "» no es un archivo normal");
    if (::faccessat(AT_FDCWD, resolved.c_str(), W_OK, AT_EACCESS) != 0)
        fail(target, "no se puede escribir en", errno);
    return resolved;
}

} // namespace

void WriteFileAtomically(const fs::path& target, std::string_view content, unsigned newMode,
                         Durability durability) {
    WriteFileAtomicallyFrom(
        target, [content](const ContentSink& sink) { sink(content); }, newMode, durability);
}

void WriteFileAtomicallyFrom(const fs::path& requested,
                             const std::function<void(const ContentSink&)>& produce, unsigned newMode,
                             Durability durability, const SaveCheck& check) {
    const fs::path target = saveTarget(requested);
    std::string name = ".";
    name += target.filename().string();
    name += ".XXXXXX";
    std::string pattern = (target.parent_path() / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        fail(target, "no se puede crear un archivo temporal junto a", errno);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    const fs::path temp(pattern);
    fill(fd, temp, produce);
    finish(fd, temp, target, newMode, durability, check);
}

void FlushFileSystemOf(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(folder, "no se puede abrir la carpeta", errno);
    // One flush of the whole file system costs one wait for the disk; one per file costs one each.
    if (::syncfs(fd) != 0 || ::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        fail(folder, "no se puede llevar al disco lo guardado en", code);
    }
    ::close(fd);
}

void WriteFileAtomically(const fs::path& target, std::string_view content, const fs::path& temporary,
                         unsigned newMode, const SaveCheck& check) {
    WriteFileAtomicallyFrom(
        target, [content](const ContentSink& sink) { sink(content); }, temporary, newMode, check);
}

void WriteFileAtomicallyFrom(const fs::path& requested,
                             const std::function<void(const ContentSink&)>& produce,
                             const fs::path& temporary, unsigned newMode, const SaveCheck& check) {
    const fs::path target = saveTarget(requested);
    if (target != requested) // saved through a link: the temporary goes beside the link's target
        return WriteFileAtomicallyFrom(target, produce, newMode, Durability::Now, check);
    // Made exclusively: a name another writer uses, or a link planted there, is never written through.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        fail(temporary, "no se puede crear el archivo temporal", errno);
    fill(fd, temporary, produce);
    finish(fd, temporary, target, newMode, Durability::Now, check);
}

std::string ReadWholeFile(const fs::path& file) {
    std::string content;
    ReadWholeFileInto(file, content);
    return content;
}

void ReadWholeFileInto(const fs::path& file, std::string& content) {
    content.clear();
    // Opened without waiting, so that a FIFO or a device in a file's place never blocks the program.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT)
            throw BrioError(err::FileNotFound, "«" + file.string() + "»");
        fail(file, "no se puede abrir", code);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw BrioError(err::PathFileAccess, "«" + file.string() + "» no es un archivo normal");
    }
    if (info.st_size > 0)
        content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            fail(file, "no se puede leer", code);
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
}

} // namespace brio
