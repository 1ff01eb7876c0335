#include "KeyFolderCleaner.h"

#include "SystemMessages.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace brio {

namespace {

// Attribute bits as the listing filters use them.
constexpr int kHidden = 2;
constexpr int kSystem = 4;
constexpr int kDirectory = 16;
constexpr int kArchive = 32;

// The listing filters of the repair: folders (and system entries) for the key folder; archive and
// system files for the sub-folder, so hidden files and folders are not listed there.
constexpr int kKeyFolderFilter = kDirectory + kSystem;
constexpr int kFileFilter = kArchive + kSystem;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// The error of a failed system call on `path`; entries are never followed, so ELOOP is a link itself.
BrioError systemError(int error, const std::string& path, bool folder) {
    return BrioError(SystemErrorNumber(error, !folder),
                     path + ": " + (error == ELOOP ? "es un enlace simbólico" : SystemErrorText(error)));
}

std::string upper(const std::string& name) {
    return QString::fromStdString(name).toUpper().toStdString();
}

bool startsWithS(const std::string& name) {
    return !name.empty() && (name[0] == 'S' || name[0] == 's');
}

// The attribute bits of one entry of an open folder, without following a symbolic link; -1 for entries
// that are neither a regular file nor a folder (symbolic links, devices, sockets), which are never listed.
int attributesAt(int dirfd, const std::string& name) {
    struct stat st {};
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    int attributes = name[0] == '.' ? kHidden : 0;
    if (S_ISDIR(st.st_mode))
        return attributes | kDirectory;
    if (S_ISREG(st.st_mode))
        return attributes | kArchive;
    return -1;
}

// The names of an open folder that pass the attribute filter (an entry with the hidden, system or
// directory attribute is listed only when the filter holds each of them) and `match`, in the order of
// the key store's own file system: by upper-cased name, then by name.
template <typename Match>
std::vector<std::string> listFolder(int dirfd, const std::string& path, int filter, Match match) {
    const int copy = ::dup(dirfd);
    if (copy < 0)
        throw systemError(errno, path, true);
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        const int error = errno;
        ::close(copy);
        throw systemError(error, path, true);
    }
    ::rewinddir(dir);
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !match(name))
            continue;
        const int attributes = attributesAt(dirfd, name);
        if (attributes < 0)
            continue;
        const int filtered = attributes & (kHidden | kSystem | kDirectory);
        if ((filtered & filter) == filtered)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = upper(a), ub = upper(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}

// Changes the permission bits of an entry without following a symbolic link.
void chmodEntry(int dirfd, const std::string& name, mode_t mode, const std::string& path, bool folder) {
    if (::fchmodat(dirfd, name.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0)
        return;
    const int error = errno;
    // Without the no-follow variant the entry, already known not to be a link, is changed directly.
    if ((error == EOPNOTSUPP || error == ENOSYS) && ::fchmodat(dirfd, name.c_str(), mode, 0) == 0)
        return;
    throw systemError(error == EOPNOTSUPP ? ELOOP : error, path, folder);
}

struct stat entryStat(int dirfd, const std::string& name, const std::string& path, bool folder) {
    struct stat st {};
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        throw systemError(errno, path, folder);
    if (S_ISLNK(st.st_mode))
        throw systemError(ELOOP, path, folder);
    return st;
}

// Read-only on a file is a file without write permission; on a folder it has no effect on the host, as
// on the key store's own file system it does not protect the folder's content.
void setReadOnly(int dirfd, const std::string& name, const std::string& path) {
    const struct stat st = entryStat(dirfd, name, path, false);
    if (S_ISREG(st.st_mode))
        chmodEntry(dirfd, name, st.st_mode & 07777 & ~mode_t(0222), path, false);
    else if (!S_ISDIR(st.st_mode))
        throw systemError(EACCES, path, false);
}

// Archive only (a file) or normal (a folder): the entry becomes writable by its owner; a folder also
// becomes searchable, so that it can be emptied and removed.
void setWritableFile(int dirfd, const std::string& name, const std::string& path) {
    const struct stat st = entryStat(dirfd, name, path, false);
    if (!S_ISREG(st.st_mode))
        throw systemError(S_ISDIR(st.st_mode) ? EISDIR : EACCES, path, false);
    chmodEntry(dirfd, name, (st.st_mode & 07777) | S_IWUSR, path, false);
}

void setNormalFolder(int dirfd, const std::string& name, const std::string& path) {
    const struct stat st = entryStat(dirfd, name, path, true);
    if (!S_ISDIR(st.st_mode))
        throw systemError(ENOENT, path, true); // the path with a trailing separator names no folder
    chmodEntry(dirfd, name, (st.st_mode & 07777) | S_IRWXU, path, true);
}

void deleteFile(int dirfd, const std::string& name, const std::string& path) {
    const struct stat st = entryStat(dirfd, name, path, false);
    if (!S_ISREG(st.st_mode))
        throw systemError(S_ISDIR(st.st_mode) ? EISDIR : EACCES, path, false);
    if (::unlinkat(dirfd, name.c_str(), 0) != 0)
        throw systemError(errno, path, false);
}

void removeFolder(int dirfd, const std::string& name, const std::string& path) {
    if (::unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) != 0)
        throw systemError(errno, path, true);
}

enum class StepResult { Done, Ignored, Aborted };

// Runs one step until it succeeds or the person goes on without it.
template <typename Step> StepResult runStep(const KeyFolderCleaner::StepHandler& onFailure, Step step) {
    for (;;) {
        try {
            step();
            return StepResult::Done;
        } catch (const BrioError& e) {
            const StepChoice choice = onFailure ? onFailure(e) : StepChoice::Abort;
            if (choice == StepChoice::Abort)
                return StepResult::Aborted;
            if (choice == StepChoice::Ignore)
                return StepResult::Ignored;
        }
    }
}

std::string printable(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    return out;
}

} // namespace

KeyFolderCleaner::KeyFolderCleaner(HostPaths paths, StepHandler onFailure, BusyHook onBusy)
    : paths_(std::move(paths)), onFailure_(std::move(onFailure)), onBusy_(std::move(onBusy)) {}

std::string KeyFolderCleaner::KeyFolder(const std::string& profile) {
    return "C:\\Documents and Settings\\" + profile + "\\Datos de programa\\Microsoft\\Crypto\\RSA";
}

void KeyFolderCleaner::CheckProfileName(const std::string& profile) {
    std::string why;
    if (profile.empty())
        why = "el nombre está vacío";
    else if (profile == "." || profile.find("..") != std::string::npos)
        why = "no puede contener \"..\" ni ser \".\"";
    else if (profile.find_first_of("/\\") != std::string::npos)
        why = "no puede contener separadores de ruta (/ o \\)";
    else if (std::any_of(profile.begin(), profile.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        why = "no puede contener caracteres de control";
    else if (profile.find_first_of(":*?\"<>|") != std::string::npos)
        why = "no puede contener ninguno de los caracteres : * ? \" < > |";
    else if (profile.back() == ' ' || profile.back() == '.')
        why = "no puede terminar en blanco ni en punto";
    if (!why.empty())
        throw BrioError(err::BadFileName, "el nombre de usuario \"" + printable(profile) +
                                              "\" no sirve como carpeta de perfil: " + why);
}

KeyFolderCleaner::Outcome KeyFolderCleaner::Clear(const std::string& profile) const {
    CheckProfileName(profile);
    Outcome outcome;
    const std::optional<std::filesystem::path> key = paths_.ToHost(KeyFolder(profile));
    if (!key)
        return outcome; // a drive without a mapping does not exist
    const std::string keyPath = key->string();

    // The first entry starting with S; a missing key folder lists nothing.
    Fd keyFd;
    std::vector<std::string> found;
    const StepResult listed = runStep(onFailure_, [&] {
        const int fd = ::open(keyPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        keyFd = Fd(fd);
        if (!keyFd.valid()) {
            if (error == ENOENT || error == ENOTDIR)
                return;
            throw systemError(error, keyPath, true);
        }
        found = listFolder(keyFd.get(), keyPath, kKeyFolderFilter, startsWithS);
    });
    if (listed == StepResult::Aborted)
        outcome.aborted = true;
    if (listed != StepResult::Done || found.empty())
        return outcome;

    const std::string name = found.front();
    const std::string folder = keyPath + "/" + name;
    outcome.folder = folder;
    if (onBusy_)
        onBusy_();
    const int k = keyFd.get();
    auto abort = [&] {
        outcome.aborted = true;
        return outcome;
    };

    if (runStep(onFailure_, [&] { setReadOnly(k, name, folder); }) == StepResult::Aborted)
        return abort();

    // Its files; a sub-folder that cannot be opened as a folder (a file, or gone) lists nothing.
    Fd folderFd;
    std::vector<std::string> files;
    const StepResult opened = runStep(onFailure_, [&] {
        const int fd = ::openat(k, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        folderFd = Fd(fd);
        if (!folderFd.valid()) {
            if (error == ENOENT || error == ENOTDIR || error == ELOOP)
                return;
            throw systemError(error, folder, true);
        }
        files = listFolder(folderFd.get(), folder, kFileFilter, [](const std::string&) { return true; });
    });
    if (opened == StepResult::Aborted)
        return abort();
    for (const std::string& file : files) {
        const std::string path = folder + "/" + file;
        if (runStep(onFailure_, [&] { setWritableFile(folderFd.get(), file, path); }) == StepResult::Aborted)
            return abort();
        const StepResult deleted = runStep(onFailure_, [&] { deleteFile(folderFd.get(), file, path); });
        if (deleted == StepResult::Aborted)
            return abort();
        if (deleted == StepResult::Done)
            ++outcome.filesDeleted;
    }
    folderFd.reset();

    if (runStep(onFailure_, [&] { setNormalFolder(k, name, folder + "/"); }) == StepResult::Aborted)
        return abort();
    const StepResult removed = runStep(onFailure_, [&] { removeFolder(k, name, folder); });
    if (removed == StepResult::Aborted)
        return abort();
    outcome.removed = removed == StepResult::Done;
    return outcome;
}

} // namespace brio
