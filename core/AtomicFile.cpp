#include "AtomicFile.h"

#include "BrioError.h"
#include "FileOwner.h"
#include "SystemMessages.h"

#include <algorithm>
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

[[noreturn]] void fail(const fs::path& file, const char* what, int code) {
    throw BrioError(SystemErrorNumber(code),
                    std::string(what) + " «" + file.string() + "»: " + SystemErrorText(code));
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

// How long a save waits for its temporary's data before the rename.
enum class Wait {
    Fsync,    // data and metadata on the device
    WriteOut, // data written to the device, the journal and the device's cache left to a later flush
    None,     // nothing: the caller brings the data to the device before it renames
};

// Gives the complete temporary the target's mode and owner (or a new file's), waits for its data as
// `wait` says, runs the check and closes it; on failure the temporary is closed and removed.
void seal(int fd, const fs::path& temp, const fs::path& target, unsigned newMode, Wait wait,
          const SaveCheck& check = {}) {
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
    const bool flushed = wait == Wait::Fsync ? ::fsync(fd) == 0
                         : wait == Wait::WriteOut
                             ? ::sync_file_range(fd, 0, 0, kWriteAndWait) == 0 || errno == ESPIPE
                             : true;
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
}

void commit(const fs::path& temp, const fs::path& target) {
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        fail(target, "no se puede reemplazar", code);
    }
}

void finish(int fd, const fs::path& temp, const fs::path& target, unsigned newMode,
            Durability durability = Durability::Now, const SaveCheck& check = {}) {
    seal(fd, temp, target, newMode, durability == Durability::Now ? Wait::Fsync : Wait::WriteOut, check);
    commit(temp, target);
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
                    "» es un enlace simbólico que no lleva a ningún archivo: " + SystemErrorText(errno));
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

// A temporary beside `target` (".<name>.XXXXXX"), made exclusively and never through a link.
int makeTemporary(const fs::path& target, fs::path& temp) {
    std::string name = ".";
    name += target.filename().string();
    name += ".XXXXXX";
    std::string pattern = (target.parent_path() / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        fail(target, "no se puede crear un archivo temporal junto a", errno);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    temp = pattern;
    return fd;
}

void syncOrFail(int fd, const fs::path& folder, bool wholeFileSystem) {
    if ((wholeFileSystem ? ::syncfs(fd) : ::fsync(fd)) != 0) {
        const int code = errno;
        ::close(fd);
        fail(folder, "no se puede llevar al disco lo guardado en", code);
    }
}

int openFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(folder, "no se puede abrir la carpeta", errno);
    return fd;
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
    fs::path temp;
    const int fd = makeTemporary(target, temp);
    fill(fd, temp, produce);
    finish(fd, temp, target, newMode, durability, check);
}

void FlushFileSystemOf(const fs::path& folder) {
    // One flush of the whole file system costs one wait for the disk; one per file costs one each.
    const int fd = openFolder(folder);
    syncOrFail(fd, folder, true);
    syncOrFail(fd, folder, false);
    ::close(fd);
}

void FlushFileDataOf(const fs::path& folder) {
    const int fd = openFolder(folder);
    syncOrFail(fd, folder, true);
    ::close(fd);
}

StagedSave StageSave(const fs::path& requested, std::string_view content, unsigned newMode) {
    StagedSave staged;
    staged.target = saveTarget(requested);
    const int fd = makeTemporary(staged.target, staged.temporary);
    fill(fd, staged.temporary, [content](const ContentSink& sink) { sink(content); });
    seal(fd, staged.temporary, staged.target, newMode, Wait::None);
    return staged;
}

void CommitStagedSave(const StagedSave& staged) {
    commit(staged.temporary, staged.target);
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
    // Read straight into the string: the size the file has now, then whatever it grew by meanwhile.
    std::size_t filled = 0;
    content.resize(static_cast<std::size_t>(info.st_size) + 1);
    for (;;) {
        if (filled == content.size())
            content.resize(content.size() + std::max<std::size_t>(content.size() / 2, 65536));
        const ssize_t got = ::read(fd, content.data() + filled, content.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int code = errno;
            ::close(fd);
            content.clear();
            fail(file, "no se puede leer", code);
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    content.resize(filled);
    ::close(fd);
}

} // namespace brio
