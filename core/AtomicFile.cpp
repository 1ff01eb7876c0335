#include "AtomicFile.h"

#include "BrioError.h"
#include "SystemMessages.h"

#include <cerrno>
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

void finish(int fd, const fs::path& temp, const fs::path& target, unsigned newMode) {
    struct stat existing {};
    mode_t mode;
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<mode_t>(newMode) & ~mask;
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
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
    syncFolder(target.parent_path());
}

} // namespace

void WriteFileAtomically(const fs::path& target, std::string_view content, unsigned newMode) {
    std::string name = ".";
    name += target.filename().string();
    name += ".XXXXXX";
    std::string pattern = (target.parent_path() / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        fail(target, "no se puede crear un archivo temporal junto a", errno);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    const fs::path temp(pattern);
    writeAll(fd, content, temp);
    finish(fd, temp, target, newMode);
}

void WriteFileAtomically(const fs::path& target, std::string_view content, const fs::path& temporary,
                         unsigned newMode) {
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        fail(temporary, "no se puede crear", errno);
    writeAll(fd, content, temporary);
    finish(fd, temporary, target, newMode);
}

std::string ReadWholeFile(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT)
            throw BrioError(err::FileNotFound, "«" + file.string() + "»");
        fail(file, "no se puede abrir", code);
    }
    std::string content;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
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
    return content;
}

} // namespace brio
