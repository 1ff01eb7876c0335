#include "TrustedFolder.h"

#include "SystemMessages.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

std::string modeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string userText(uid_t uid) {
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
    return "uid " + std::to_string(uid);
}

// Why a folder above a trusted one could let someone else change what lies below it.
std::string aboveProblem(const struct stat& info, uid_t owner) {
    if (info.st_uid != 0 && info.st_uid != owner)
        return "es del usuario " + userText(info.st_uid);
    if ((info.st_mode & 022) && !(info.st_mode & S_ISVTX))
        return "sus permisos son " + modeText(info.st_mode) + ": otros usuarios pueden escribir en ella";
    return {};
}

std::string folderProblem(const struct stat& info, uid_t owner, FolderAccess access) {
    if (!S_ISDIR(info.st_mode))
        return "no es una carpeta";
    if (info.st_uid != owner)
        return "es del usuario " + userText(info.st_uid) + " y debe ser de " + userText(owner);
    if (access == FolderAccess::Private && (info.st_mode & 077))
        return "sus permisos son " + modeText(info.st_mode) + " y deben ser 0700";
    if (access == FolderAccess::Shared && (info.st_mode & 022))
        return "sus permisos son " + modeText(info.st_mode) + ": otros usuarios pueden escribir en ella";
    return {};
}

[[noreturn]] void refuse(const fs::path& folder, const std::string& why) {
    throw FolderRuleError("la carpeta «" + folder.string() + "» no es segura: " + why);
}

[[noreturn]] void systemFailure(const std::string& what, const fs::path& path, int code) {
    throw BrioError(code == EACCES || code == EPERM ? err::PermissionDenied : err::PathFileAccess,
                    what + " «" + path.string() + "»: " + SystemErrorText(code));
}

// Opens (and with `create` makes) the folder `name` in `parent`, never through a link.
UniqueFd openFolderAt(int parent, const std::string& name, const fs::path& path, bool create, int flags) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd fd(::openat(parent, name.c_str(), flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd)
            return fd;
        const int code = errno;
        struct stat info {};
        if (code == ENOENT && create && attempt == 0) {
            if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
                systemFailure("no se puede crear la carpeta", path, errno);
            continue;
        }
        if ((code == ELOOP || code == ENOTDIR) &&
            ::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
            refuse(path, S_ISLNK(info.st_mode) ? "es un enlace simbólico" : "no es una carpeta");
        systemFailure("no se puede abrir la carpeta", path, code);
    }
    systemFailure("no se puede abrir la carpeta", path, ENOENT);
}

std::string temporaryName(std::string_view name) {
    static std::minstd_rand random(static_cast<unsigned>(::getpid()) ^ std::random_device{}());
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%06x", static_cast<unsigned>(random() & 0xffffff));
    std::string temporary(1, '.');
    temporary.append(name).append(suffix);
    return temporary;
}

bool writeAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t got = ::write(fd, content.data(), content.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(got));
    }
    return true;
}

} // namespace

std::string FileRuleProblem(const struct stat& info, const FileRule& rule) {
    if (!S_ISREG(info.st_mode))
        return "no es un archivo normal";
    if (info.st_nlink > 1)
        return "tiene otros nombres (enlaces duros)";
    if (info.st_uid != rule.owner)
        return "es del usuario " + userText(info.st_uid) + " y debe ser de " + userText(rule.owner);
    if (info.st_mode & 022)
        return "lo pueden modificar otros usuarios (permisos " + modeText(info.st_mode) + ")";
    if (static_cast<std::uintmax_t>(info.st_size) > rule.maxSize)
        return "es demasiado grande (" + std::to_string(info.st_size) + " bytes)";
    return {};
}

TrustedFolder::TrustedFolder(UniqueFd fd, fs::path path, uid_t owner, FolderAccess access, bool checked)
    : fd_(std::make_shared<UniqueFd>(std::move(fd))), path_(std::move(path)), owner_(owner), access_(access),
      checked_(checked) {}

TrustedFolder TrustedFolder::Open(const fs::path& path, uid_t owner, FolderAccess access, bool create) {
    const fs::path whole = fs::absolute(path).lexically_normal();
    fs::path leaf = whole.filename();
    fs::path parent = whole.parent_path();
    if (leaf.empty()) { // "/x/tasks/" names the folder "tasks"
        leaf = parent.filename();
        parent = parent.parent_path();
    }
    if (leaf.empty())
        refuse(whole, "no puede ser la carpeta raíz");
    if (create) {
        std::error_code ec;
        fs::path partial;
        for (const fs::path& part : parent) {
            partial /= part;
            if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
                systemFailure("no se puede crear la carpeta", partial, errno);
        }
    }
    // The folders above are taken as they really are; each step of the walk is then checked and
    // opened relative to the one before, so none can be swapped between the check and the use.
    char* real = ::realpath(parent.c_str(), nullptr);
    if (!real)
        systemFailure("no se puede abrir la carpeta", parent, errno);
    const fs::path realParent = real;
    std::free(real);
    UniqueFd at(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    fs::path walked = "/";
    for (const fs::path& part : realParent.relative_path()) {
        struct stat info {};
        if (::fstat(at.get(), &info) != 0)
            systemFailure("no se puede leer la carpeta", walked, errno);
        if (std::string why = aboveProblem(info, owner); !why.empty())
            refuse(walked, why + " y contiene «" + whole.string() + "»");
        walked /= part;
        UniqueFd next(::openat(at.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next)
            systemFailure("no se puede abrir la carpeta", walked, errno);
        at = std::move(next);
    }
    struct stat info {};
    if (::fstat(at.get(), &info) != 0)
        systemFailure("no se puede leer la carpeta", walked, errno);
    if (std::string why = aboveProblem(info, owner); !why.empty())
        refuse(walked, why + " y contiene «" + whole.string() + "»");
    UniqueFd fd = openFolderAt(at.get(), leaf.string(), whole, create, O_RDONLY);
    if (::fstat(fd.get(), &info) != 0)
        systemFailure("no se puede leer la carpeta", whole, errno);
    if (std::string why = folderProblem(info, owner, access); !why.empty())
        refuse(whole, why);
    return TrustedFolder(std::move(fd), whole, owner, access, true);
}

TrustedFolder TrustedFolder::OpenForReading(const fs::path& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        const int code = errno;
        throw BrioError(code == ENOENT ? err::PathNotFound : err::PathFileAccess,
                        "no se puede abrir la carpeta «" + path.string() + "»: " +
                            (code == ELOOP ? std::string("es un enlace simbólico") : SystemErrorText(code)));
    }
    struct stat info {};
    const uid_t owner = ::fstat(fd.get(), &info) == 0 ? info.st_uid : ::geteuid();
    return TrustedFolder(std::move(fd), path, owner, FolderAccess::Shared, false);
}

TrustedFolder TrustedFolder::Sub(const std::string& name, FolderAccess access, bool create) const {
    const fs::path path = PathOf(name);
    UniqueFd fd = openFolderAt(Fd(), name, path, create && checked_, O_RDONLY);
    if (checked_) {
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0)
            systemFailure("no se puede leer la carpeta", path, errno);
        if (std::string why = folderProblem(info, owner_, access); !why.empty())
            refuse(path, why);
    }
    return TrustedFolder(std::move(fd), path, owner_, access, checked_);
}

std::string TrustedFolder::Recheck() const {
    struct stat info {};
    if (!fd_ || ::fstat(Fd(), &info) != 0)
        return "no se puede leer";
    if (info.st_nlink == 0)
        return "se ha borrado";
    return checked_ ? folderProblem(info, owner_, access_) : std::string();
}

FileRead TrustedFolder::Read(std::string_view name, const FileRule& rule, std::string& content,
                             std::string& problem, struct stat* status) const {
    problem.clear();
    UniqueFd fd(
        ::openat(Fd(), std::string(name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        const int code = errno;
        if (code == ENOENT)
            return FileRead::Missing;
        problem = code == ELOOP ? "es un enlace simbólico" : SystemErrorText(code);
        return FileRead::Refused;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        problem = SystemErrorText(errno);
        return FileRead::Refused;
    }
    // A reader that only looks takes the folder's files as they are, but never a device or a huge file.
    FileRule own = rule;
    if (!checked_) {
        own.owner = info.st_uid;
        info.st_nlink = 1;
        info.st_mode &= ~static_cast<mode_t>(022);
    }
    if (std::string why = FileRuleProblem(info, own); !why.empty()) {
        problem = why;
        return FileRead::Refused;
    }
    content.assign(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got = ::read(fd.get(), content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            problem = SystemErrorText(errno);
            return FileRead::Refused;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    content.resize(done);
    if (status)
        *status = info;
    return FileRead::Ok;
}

void TrustedFolder::Write(std::string_view name, std::string_view content, mode_t mode, bool durable) const {
    const fs::path target = PathOf(name);
    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temporary = temporaryName(name);
        fd.reset(
            ::openat(Fd(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd && errno != EEXIST)
            break;
    }
    if (!fd)
        systemFailure("no se puede guardar", target, errno);
    bool done =
        ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), content) && (!durable || ::fsync(fd.get()) == 0);
    int code = errno;
    if (::close(fd.release()) != 0 && done) {
        done = false;
        code = errno;
    }
    if (done && ::renameat(Fd(), temporary.c_str(), Fd(), std::string(name).c_str()) != 0) {
        done = false;
        code = errno;
    }
    if (!done) {
        ::unlinkat(Fd(), temporary.c_str(), 0);
        systemFailure("no se puede guardar", target, code);
    }
    if (durable)
        ::fsync(Fd());
}

UniqueFd TrustedFolder::Create(std::string_view name, mode_t mode) const {
    UniqueFd fd(::openat(Fd(), std::string(name).c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!fd) {
        const int code = errno;
        if (code == EEXIST)
            throw BrioError(err::FileExists, "«" + PathOf(name).string() + "»");
        systemFailure("no se puede crear", PathOf(name), code);
    }
    return fd;
}

bool TrustedFolder::Remove(std::string_view name) const {
    const std::string entry(name);
    if (::unlinkat(Fd(), entry.c_str(), 0) == 0)
        return true;
    if (errno == EISDIR)
        return ::unlinkat(Fd(), entry.c_str(), AT_REMOVEDIR) == 0;
    return false;
}

std::optional<struct stat> TrustedFolder::Status(std::string_view name) const {
    struct stat info {};
    if (::fstatat(Fd(), std::string(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return info;
}

std::vector<std::string> TrustedFolder::Names() const {
    std::vector<std::string> names;
    // The listing gets its own descriptor: closedir closes it, and its offset is its own.
    const int own = ::openat(Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = own >= 0 ? ::fdopendir(own) : nullptr;
    if (!dir) {
        if (own >= 0)
            ::close(own);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view file = entry->d_name;
        if (file != "." && file != "..")
            names.emplace_back(file);
    }
    ::closedir(dir);
    return names;
}

} // namespace brio
