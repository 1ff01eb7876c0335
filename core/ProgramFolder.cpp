#include "ProgramFolder.h"

#include "BrioError.h"
#include "SystemMessages.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

fs::path userHome() {
    if (const std::string home = environment("HOME"); !home.empty())
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return fs::temp_directory_path();
}

bool underUsr(const fs::path& folder) {
    const fs::path normal = folder.lexically_normal();
    auto part = normal.begin();
    return normal.is_absolute() && ++part != normal.end() && *part == "usr";
}

} // namespace

fs::path ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

bool MayWriteFolder(const fs::path& folder) {
    fs::path probe = folder;
    struct stat info {};
    while (::stat(probe.c_str(), &info) != 0) {
        if (!probe.has_relative_path())
            return false;
        probe = probe.parent_path();
    }
    return S_ISDIR(info.st_mode) && ::access(probe.c_str(), W_OK | X_OK) == 0;
}

ProgramFolderChoice ChooseProgramFolder(const ProgramFolderFacts& facts) {
    ProgramFolderChoice choice;
    choice.installed = !facts.executableFolderWritable || underUsr(facts.executableFolder);
    if (!facts.homeOverride.empty())
        choice.folder = facts.homeOverride;
    else if (!choice.installed)
        choice.folder = facts.executableFolder;
    else if (facts.systemFolderWritable)
        choice.folder = SystemDataFolder;
    else {
        // XDG_DATA_HOME counts only when absolute, as the XDG rules say.
        const fs::path data = facts.xdgDataHome;
        choice.folder = (data.is_absolute() ? data : facts.userHome / ".local" / "share") / "brioschedule";
    }
    return choice;
}

ProgramFolderFacts CurrentProgramFolderFacts() {
    ProgramFolderFacts facts;
    facts.homeOverride = environment("BRIOSCHEDULE_HOME");
    facts.executableFolder = ExecutableFolder();
    facts.executableFolderWritable = ::access(facts.executableFolder.c_str(), W_OK | X_OK) == 0;
    facts.systemFolderWritable = MayWriteFolder(SystemDataFolder);
    facts.xdgDataHome = environment("XDG_DATA_HOME");
    facts.userHome = userHome();
    return facts;
}

ProgramFolderChoice CurrentProgramFolder() {
    return ChooseProgramFolder(CurrentProgramFolderFacts());
}

fs::path ProgramFolder() {
    return CurrentProgramFolder().folder;
}

void EnsureProgramFolder(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            throw BrioError(err::PathNotFound,
                            "la carpeta del programa «" + folder.string() + "» no es una carpeta");
        return;
    }
    fs::path partial;
    for (const fs::path& part : fs::absolute(folder)) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            const int code = errno;
            throw BrioError(SystemErrorNumber(code), "no se puede crear la carpeta del programa «" +
                                                         partial.string() + "»: " + SystemErrorText(code));
        }
    }
}

} // namespace brio
