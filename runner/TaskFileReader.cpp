#include "TaskFileReader.h"

#include "SystemMessages.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

// A task file is a few kilobytes; anything far larger is not one.
constexpr off_t kMaxTaskFile = 4 * 1024 * 1024;

FileStamp stampOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), info.st_size,
            info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

std::string modeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

} // namespace

bool StampOf(const fs::path& file, FileStamp& stamp) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return false;
    stamp = stampOf(info);
    return true;
}

bool ReadTaskFile(const fs::path& file, bool trusted, TaskFile& task, std::string& problem, bool& missing) {
    missing = false;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (trusted ? O_NOFOLLOW : 0));
    if (fd < 0) {
        const int code = errno;
        missing = code == ENOENT;
        problem = code == ELOOP ? "es un enlace simbólico" : SystemErrorText(code);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        problem = "no es un archivo normal";
        return false;
    }
    if (trusted && info.st_uid != 0) {
        ::close(fd);
        problem = "no es de root (es del usuario " + std::to_string(info.st_uid) + ")";
        return false;
    }
    if (trusted && (info.st_mode & 022)) {
        ::close(fd);
        problem = "lo pueden modificar otros usuarios (permisos " + modeText(info.st_mode) + ")";
        return false;
    }
    if (info.st_size > kMaxTaskFile) {
        ::close(fd);
        problem = "es demasiado grande para ser un archivo de tarea";
        return false;
    }
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got = ::read(fd, content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            problem = SystemErrorText(errno);
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    content.resize(done);
    TaskFile read;
    if (!ReadJob(content, read.job, problem))
        return false;
    read.stamp = stampOf(info);
    task = std::move(read);
    return true;
}

std::string StoreFolderProblem(const fs::path& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0)
        return std::string("no se puede leer: ") + SystemErrorText(errno);
    if (S_ISLNK(info.st_mode))
        return "es un enlace simbólico";
    if (!S_ISDIR(info.st_mode))
        return "no es una carpeta";
    if (info.st_uid != 0)
        return "no es de root (es del usuario " + std::to_string(info.st_uid) + ")";
    if ((info.st_mode & 07777) != 0700)
        return "sus permisos son " + modeText(info.st_mode) + " y deben ser 0700";
    return {};
}

} // namespace brio
