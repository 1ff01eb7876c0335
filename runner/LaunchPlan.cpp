#include "LaunchPlan.h"

#include "WindowsCommandLine.h"

#include <cstdlib>
#include <pwd.h>
#include <shadow.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr const char* kUserPath = "/usr/local/bin:/usr/bin:/bin";
constexpr const char* kRootPath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

std::string inQuotes(const std::string& text) {
    return "«" + text + "»";
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The first executable file called `name` on `path`.
std::optional<fs::path> searchPath(const std::string& name, const std::string& path) {
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t colon = std::min(path.find(':', from), path.size());
        const std::string folder = path.substr(from, colon - from);
        from = colon + 1;
        if (folder.empty())
            continue;
        const fs::path candidate = fs::path(folder) / name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111))
            return candidate;
    }
    return std::nullopt;
}

// A stored path that names its folder from the root: a drive letter, a network path or a native one.
bool isComplete(std::string_view path) {
    return path.starts_with('/') || path.starts_with("\\\\") ||
           (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/'));
}

// The drive map of an account's own Wine prefix, which `prefix` then names; else C: is /.
HostPaths accountDrives(const std::string& home, std::optional<fs::path>& prefix) {
    HostPaths own = HostPaths::FromWinePrefix(fs::path(home) / ".wine");
    if (own.drives().empty())
        return HostPaths({{'C', fs::path("/")}});
    prefix = fs::path(home) / ".wine";
    return own;
}

bool hasFolder(std::string_view program) {
    return program.find('/') != std::string_view::npos || program.find('\\') != std::string_view::npos ||
           (program.size() >= 2 && program[1] == ':');
}

// The account the task runs as, with its ids and home.
struct Account {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::string home;
    std::string shell;
};

std::optional<Account> lookUp(const std::string& name) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return Account{found->pw_name, found->pw_uid, found->pw_gid, found->pw_dir ? found->pw_dir : "/",
                   found->pw_shell && *found->pw_shell ? found->pw_shell : "/bin/sh"};
}

std::optional<Account> accountOf(const JobData& job, const LaunchContext& context, std::string& reason) {
    std::string name = job.account;
    if (name.starts_with(".\\"))
        name.erase(0, 2); // a local account written the Windows way
    if (!context.systemMode) {
        if (!name.empty() && name != context.ownUser) {
            reason = "la tarea es de la cuenta " + inQuotes(job.account) +
                     " y este ejecutor de usuario solo "
                     "ejecuta tareas sin cuenta o de la cuenta " +
                     inQuotes(context.ownUser);
            return std::nullopt;
        }
        std::optional<Account> own = lookUp(context.ownUser);
        if (!own)
            reason = "la cuenta " + inQuotes(context.ownUser) + " de este ejecutor no existe en este equipo";
        return own;
    }
    const bool service = job.account.empty();
    if (service)
        name = context.config.serviceUser;
    std::optional<Account> account = lookUp(name);
    if (!account) {
        reason = service
                     ? "la cuenta de servicio " + inQuotes(name) + " (ServiceUser) no existe en este equipo"
                     : "la cuenta " + inQuotes(name) + " no existe en este equipo";
        return std::nullopt;
    }
    if (context.systemMode && service && account->uid == 0 && name != "root") {
        reason =
            "la cuenta de servicio " + inQuotes(name) + " es la de root; solo ServiceUser=root la admite";
        return std::nullopt;
    }
    if (account->name != context.config.serviceUser && AccountLocked(account->name)) {
        reason = "la cuenta " + inQuotes(account->name) + " está bloqueada";
        return std::nullopt;
    }
    return account;
}

} // namespace

void ApplyConfig(LaunchContext& context, RunnerConfig config) {
    context.drives.reset();
    if (const char* drives = std::getenv("BRIOSCHEDULE_DRIVES"); drives && *drives)
        context.drives = HostPaths(ParseDriveMap(drives));
    else if (!config.drives.empty())
        context.drives = HostPaths(ParseDriveMap(config.drives));
    context.config = std::move(config);
}

bool AccountLocked(const std::string& user) {
    std::vector<char> buffer(16384);
    spwd entry{};
    spwd* found = nullptr;
    return ::getspnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
           found->sp_pwdp && found->sp_pwdp[0] == '!';
}

std::optional<LaunchPlan> PlanLaunch(const JobData& job, const LaunchContext& context, std::string& reason) {
    std::optional<Account> account = accountOf(job, context, reason);
    if (!account)
        return std::nullopt;
    LaunchPlan plan;
    plan.user = account->name;
    plan.uid = account->uid;
    plan.gid = account->gid;
    plan.switchUser = context.systemMode;
    const std::string path = account->uid == 0 ? kRootPath : kUserPath;

    const std::string& program = job.applicationName;
    if (program.empty()) {
        reason = "la tarea no tiene programa";
        return std::nullopt;
    }
    if (hasFolder(program) && !isComplete(program)) {
        reason = "la ruta del programa " + inQuotes(program) + " es relativa; debe ser completa";
        return std::nullopt;
    }
    if (!job.workingDirectory.empty() && !isComplete(job.workingDirectory)) {
        reason =
            "la carpeta de trabajo " + inQuotes(job.workingDirectory) + " es relativa; debe ser completa";
        return std::nullopt;
    }
    // The task's own context: the administrator's drive map, else its account's Wine prefix.
    std::optional<fs::path> winePrefix;
    const HostPaths drives = context.drives ? *context.drives : accountDrives(account->home, winePrefix);
    fs::path host;
    if (!hasFolder(program)) {
        std::optional<fs::path> found = searchPath(program, path);
        if (!found) {
            reason = "no se encuentra el programa " + inQuotes(program) + " en " + path;
            return std::nullopt;
        }
        host = *found;
    } else {
        std::optional<fs::path> mapped = drives.ToHost(program);
        if (!mapped) {
            reason = "la unidad del programa " + inQuotes(program) + " no está asignada en este equipo";
            return std::nullopt;
        }
        host = *mapped;
    }
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0) {
        reason = "no existe el programa " + inQuotes(program) + " (" + host.string() + ")";
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = "el programa " + inQuotes(program) + " es una carpeta";
        return std::nullopt;
    }

    const std::vector<std::string> args = SplitWindowsArguments(job.parameters);
    const std::string extension = lower(host.extension().string());
    const bool windowsProgram = extension == ".exe" || extension == ".com";
    const bool batch = extension == ".bat" || extension == ".cmd";
    if (windowsProgram || batch) {
        const std::string& wine = context.config.wineCommand;
        std::optional<fs::path> wineHost;
        if (wine.find('/') != std::string::npos) {
            struct stat wineInfo {};
            if (::stat(wine.c_str(), &wineInfo) == 0 && S_ISREG(wineInfo.st_mode) &&
                (wineInfo.st_mode & 0111))
                wineHost = wine;
        } else {
            wineHost = searchPath(wine, path);
        }
        if (!wineHost) {
            reason = "no se encuentra Wine (" + inQuotes(wine) + "), que hace falta para ejecutar " +
                     inQuotes(program) + "; WineCommand del archivo de configuración lo indica";
            return std::nullopt;
        }
        plan.argv = {wineHost->string()};
        if (batch)
            plan.argv.insert(plan.argv.end(), {"cmd", "/c"});
        plan.argv.push_back(host.string());
    } else {
        if (!S_ISREG(info.st_mode) || !(info.st_mode & 0111)) {
            reason = "el programa " + inQuotes(program) + " no es ejecutable";
            return std::nullopt;
        }
        plan.argv = {host.string()};
    }
    plan.argv.insert(plan.argv.end(), args.begin(), args.end());

    if (!job.workingDirectory.empty()) {
        std::optional<fs::path> folder = drives.ToHost(job.workingDirectory);
        std::error_code ec;
        if (!folder || !fs::is_directory(*folder, ec)) {
            reason = "no existe la carpeta de trabajo " + inQuotes(job.workingDirectory);
            return std::nullopt;
        }
        plan.folder = *folder;
    } else {
        plan.folder = host.parent_path();
    }

    plan.env = {"HOME=" + account->home, "USER=" + account->name, "LOGNAME=" + account->name,
                "SHELL=" + account->shell, "PATH=" + path};
    if (winePrefix)
        plan.env.push_back("WINEPREFIX=" + winePrefix->string());
    return plan;
}

} // namespace brio
