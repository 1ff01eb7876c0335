#include "RunnerControl.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "SystemMessages.h"

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
    const fs::path file = state.LockFile();
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0)
        throw BrioError(err::PathFileAccess,
                        "no se puede abrir «" + file.string() + "»: " + SystemErrorText(errno));
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const std::string other = pidIn(fd_);
        ::close(fd_);
        fd_ = -1;
        throw BrioError(err::PermissionDenied, "ya hay un ejecutor en marcha para este almacén de tareas" +
                                                   (other.empty() ? "" : " (proceso " + other + ")"));
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_, 0) != 0 ||
        ::pwrite(fd_, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
        throw BrioError(err::PathFileAccess,
                        "no se puede escribir «" + file.string() + "»: " + SystemErrorText(errno));
}

RunnerLock::~RunnerLock() {
    if (fd_ >= 0) {
        (void)::ftruncate(fd_, 0);
        ::close(fd_);
    }
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

fs::path RequestRun(const StateFolder& state, const std::string& name) {
    if (!RunningRunner(state))
        throw BrioError(err::ObjectNotSet, "no hay ningún ejecutor en marcha para este almacén de tareas "
                                           "(brioschedule-runner); la tarea «" +
                                               name + "» no se ha iniciado");
    std::random_device random;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::string id =
        std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "-" +
        std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000);
    const fs::path request = state.RequestFolder() / (id + std::string(kRequestSuffix));
    // The temporary name does not end in ".run", so the runner never reads half a request.
    WriteFileAtomically(request, name, state.RequestFolder() / ("." + id + ".tmp"), 0600);
    return request;
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
    const fs::path request = RequestRun(state, name);
    const int pid = RunningRunner(state).value_or(0);
    if (!WaitForPickup(request, wait)) {
        std::error_code ec;
        fs::remove(request, ec);
        throw BrioError(err::ObjectNotSet, "el ejecutor (proceso " + std::to_string(pid) +
                                               ") no ha recogido la petición de iniciar «" + name + "»");
    }
    return pid;
}

std::vector<std::string> TakeRequests(const StateFolder& state) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(state.RequestFolder(), ec)) {
        const std::string file = entry.path().filename().string();
        if (file.front() != '.' && file.ends_with(kRequestSuffix))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end()); // the names start with the instant of the request
    std::vector<std::string> names;
    for (const fs::path& file : files) {
        try {
            std::string name = ReadWholeFile(file);
            if (!name.empty())
                names.push_back(std::move(name));
        } catch (const BrioError&) {
        }
        fs::remove(file, ec);
    }
    return names;
}

} // namespace brio
