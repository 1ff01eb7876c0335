#include "RunnerControl.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "SystemMessages.h"
#include "TaskName.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr std::string_view kRequestSuffix = ".run";
constexpr std::string_view kEndSuffix = ".end";
// A request holds one task name of at most 200 bytes.
constexpr std::size_t kMaxRequest = 1024;

// A file name as it may appear in a message: control characters shown as "?".
std::string PrintableText(std::string_view text) {
    std::string shown(text);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return shown;
}

std::string pidIn(int fd) {
    char buffer[32] = {};
    const ssize_t got = ::pread(fd, buffer, sizeof buffer - 1, 0);
    std::string text(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

RunnerLock::RunnerLock(const StateFolder& state) {
    const TrustedFolder root = state.Root();
    const fs::path file = root.PathOf("runner.pid");
    fd_.reset(
        ::openat(root.Fd(), "runner.pid", O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!fd_)
        throw BrioError(err::PathFileAccess,
                        "no se puede abrir «" + file.string() +
                            "»: " + (errno == ELOOP ? "es un enlace simbólico" : SystemErrorText(errno)));
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0)
        throw BrioError(err::PathFileAccess,
                        "no se puede leer «" + file.string() + "»: " + SystemErrorText(errno));
    info.st_mode &= ~static_cast<mode_t>(077); // its mode is made private just below
    if (std::string why = FileRuleProblem(info, FileRule{root.Owner(), 4096}); !why.empty())
        throw FolderRuleError("el archivo «" + file.string() + "» no es seguro: " + why);
    ::fchmod(fd_.get(), 0600); // nobody else may open it, so nobody else may hold its lock
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        const std::string other = pidIn(fd_.get());
        throw BrioError(err::PermissionDenied, "ya hay un ejecutor en marcha para este almacén de tareas" +
                                                   (other.empty() ? "" : " (proceso " + other + ")"));
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_.get(), 0) != 0 ||
        ::pwrite(fd_.get(), pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
        throw BrioError(err::PathFileAccess,
                        "no se puede escribir «" + file.string() + "»: " + SystemErrorText(errno));
}

RunnerLock::~RunnerLock() {
    if (fd_)
        (void)!::ftruncate(fd_.get(), 0);
}

std::optional<int> RunningRunner(const StateFolder& state) {
    const int fd = ::open(state.LockFile().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::optional<int> pid;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        const std::string text = pidIn(fd);
        pid = text.empty() ? 0 : std::atoi(text.c_str());
    }
    ::close(fd);
    return pid;
}

namespace {

fs::path request(const StateFolder& state, const std::string& name, std::string_view suffix,
                 const char* notDone) {
    if (!RunningRunner(state))
        throw BrioError(err::ObjectNotSet, "no hay ningún ejecutor en marcha para este almacén de tareas "
                                           "(brioschedule-runner); la tarea «" +
                                               name + "» " + notDone);
    std::random_device random;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::string id =
        std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "-" +
        std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000);
    // The temporary's name begins with a dot, so the runner never reads half a request.
    const TrustedFolder requests = state.Requests();
    requests.Write(id + std::string(suffix), name, 0600, false);
    return requests.PathOf(id + std::string(suffix));
}

int throughRunner(const StateFolder& state, const fs::path& request, const std::string& name,
                  std::chrono::milliseconds wait, const char* asked) {
    const int pid = RunningRunner(state).value_or(0);
    if (!WaitForPickup(request, wait)) {
        std::error_code ec;
        fs::remove(request, ec);
        throw BrioError(err::ObjectNotSet, "el ejecutor (proceso " + std::to_string(pid) +
                                               ") no ha recogido la petición de " + asked + " «" + name +
                                               "»");
    }
    return pid;
}

} // namespace

fs::path RequestRun(const StateFolder& state, const std::string& name) {
    return request(state, name, kRequestSuffix, "no se ha iniciado");
}

fs::path RequestEnd(const StateFolder& state, const std::string& name) {
    return request(state, name, kEndSuffix, "no se ha finalizado");
}

bool WaitForPickup(const fs::path& request, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    struct stat info {};
    while (::lstat(request.c_str(), &info) == 0) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int StartThroughRunner(const StateFolder& state, const std::string& name, std::chrono::milliseconds wait) {
    return throughRunner(state, RequestRun(state, name), name, wait, "iniciar");
}

int EndThroughRunner(const StateFolder& state, const std::string& name, std::chrono::milliseconds wait) {
    return throughRunner(state, RequestEnd(state, name), name, wait, "finalizar");
}

std::vector<RunnerRequest> TakeRequests(const StateFolder& state, std::vector<std::string>* problems) {
    std::vector<RunnerRequest> taken;
    TrustedFolder requests;
    try {
        requests = state.Requests();
    } catch (const BrioError& e) {
        if (problems)
            problems->push_back(e.description());
        return taken;
    }
    std::vector<std::string> files;
    for (std::string& file : requests.Names())
        if (file.front() != '.' && (file.ends_with(kRequestSuffix) || file.ends_with(kEndSuffix)))
            files.push_back(std::move(file));
    std::sort(files.begin(), files.end()); // the names start with the instant of the request
    for (const std::string& file : files) {
        std::string name;
        std::string problem;
        const FileRead read = requests.Read(file, FileRule{requests.Owner(), kMaxRequest}, name, problem);
        if (read == FileRead::Ok && !TaskNameProblem(name).empty())
            problem = "no nombra una tarea válida";
        if (read == FileRead::Ok && problem.empty())
            taken.push_back(
                {file.ends_with(kEndSuffix) ? RequestKind::End : RequestKind::Run, std::move(name)});
        else if (read != FileRead::Missing && problems)
            problems->push_back("se descarta la petición «" + PrintableText(file) + "»: " + problem);
        requests.Remove(file);
    }
    return taken;
}

} // namespace brio
