#include "RunnerLoop.h"

#include "BrioError.h"
#include "RunnerControl.h"
#include "RunnerMessages.h"
#include "SystemMessages.h"

#include <systemd/sd-daemon.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace brio {

namespace {

// State files written per turn of the loop, so starts are never held up for long (at start-up every
// task's next start is new).
constexpr std::size_t kStatesPerTurn = 50;

[[noreturn]] void fail(const std::string& what) {
    throw BrioError(err::PathFileAccess, what + ": " + SystemErrorText(errno));
}

std::string DescriptorPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

void watchFd(int epoll, int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0 && errno != EEXIST)
        fail("no se puede esperar en un descriptor");
}

void drain(int fd) {
    std::uint64_t count = 0;
    while (::read(fd, &count, sizeof count) > 0) {
    }
}

} // namespace

RunnerLoop::RunnerLoop(RunnerCore& core, std::ostream& messages, fs::path configFile)
    : core_(core), messages_(messages), configFile_(std::move(configFile)) {}

RunnerLoop::~RunnerLoop() {
    for (int fd : {epoll_, signals_, wakeup_, rescan_, watchdog_})
        if (fd >= 0)
            ::close(fd);
}

void RunnerLoop::say(const std::string& text, Priority priority) {
    SayTo(messages_, priority, text);
}

void RunnerLoop::setUp() {
    sigset_t handled;
    sigemptyset(&handled);
    for (int signal : {SIGTERM, SIGINT, SIGCHLD, SIGHUP})
        sigaddset(&handled, signal);
    if (::sigprocmask(SIG_BLOCK, &handled, nullptr) != 0)
        fail("no se pueden bloquear las señales");
    signals_ = ::signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC);
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wakeup_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    rescan_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (signals_ < 0 || epoll_ < 0 || wakeup_ < 0 || rescan_ < 0)
        fail("no se puede preparar la espera de sucesos");
    const itimerspec every{{std::chrono::seconds(kRescanEvery).count(), 0},
                           {std::chrono::seconds(kRescanEvery).count(), 0}};
    ::timerfd_settime(rescan_, 0, &every, nullptr);

    watcher_ = std::make_unique<FolderWatcher>();
    std::string problem;
    zoneWatch_ = watcher_->Add("/etc", problem); // /etc/localtime is replaced, not written in place
    if (zoneWatch_ < 0)
        say(problem + "; los cambios de zona horaria se verán en la siguiente revisión", Priority::Warning);

    const char* notifySocket = std::getenv("NOTIFY_SOCKET");
    systemd_ = notifySocket && *notifySocket;
    std::uint64_t usec = 0;
    if (systemd_ && sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        watchdog_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        const std::uint64_t half = usec / 2;
        const timespec period{static_cast<time_t>(half / 1000000), static_cast<long>(half % 1000000) * 1000};
        const itimerspec beat{period, period};
        ::timerfd_settime(watchdog_, 0, &beat, nullptr);
        watchFd(epoll_, watchdog_);
    }
    for (int fd : {signals_, wakeup_, rescan_, watcher_->Fd(), reports_.Fd()})
        watchFd(epoll_, fd);
}

void RunnerLoop::armWakeup() {
    const std::optional<RunnerCore::Instant> next = core_.NextWakeup();
    // With nothing due the timer still runs, far ahead, so that setting the clock cancels it.
    const auto at = next ? *next
                         : std::chrono::time_point_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now() + std::chrono::hours(24 * 365));
    const std::int64_t seconds = std::max<std::int64_t>(at.time_since_epoch().count(), 1);
    const itimerspec when{{0, 0}, {static_cast<time_t>(seconds), 0}};
    if (::timerfd_settime(wakeup_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr) != 0)
        say(std::string("no se puede programar el siguiente inicio: ") + SystemErrorText(errno),
            Priority::Error);
}

// The watches follow the folders the runner opened, through their descriptors, never a path that may
// lead elsewhere by now.
void RunnerLoop::watchFolders() {
    std::string problem;
    storeWatch_ = watcher_->Add(DescriptorPath(core_.Store().Fd()), problem);
    if (storeWatch_ < 0)
        throw BrioError(err::PathFileAccess, problem);
    requestWatch_ = watcher_->Add(DescriptorPath(core_.State().Requests().Fd()), problem);
    if (requestWatch_ < 0)
        throw BrioError(err::PathFileAccess, problem);
}

void RunnerLoop::takeRequests() {
    std::vector<std::string> problems;
    for (const RunnerRequest& request : TakeRequests(core_.State(), &problems)) {
        if (request.kind == RequestKind::End)
            core_.EndNow(request.name);
        else
            core_.RunNow(request.name);
    }
    for (const std::string& problem : problems)
        say(problem, Priority::Warning);
}

void RunnerLoop::handleWatch() {
    bool rescan = false;
    for (const FolderWatcher::Event& event : watcher_->Read()) {
        if (event.watch < 0) {
            rescan = true; // the queue overflowed: changes were lost
        } else if (event.watch == storeWatch_) {
            // The store is held by its descriptor: a rename leaves it the runner's store, only a removal
            // makes the next rescan open the folder of that path anew.
            if (event.mask & IN_DELETE_SELF)
                say("la carpeta del almacén de tareas se ha borrado; se abre de nuevo en la próxima "
                    "revisión");
            if (event.name.empty())
                rescan = true; // the folder itself: its owner or mode may have changed
            else
                core_.TaskFileChanged(event.name);
        } else if (event.watch == requestWatch_) {
            takeRequests();
        } else if (event.watch == zoneWatch_ && (event.name == "localtime" || event.name == "timezone")) {
            core_.ZoneChanged(ScheduleZone::Host());
        }
    }
    if (rescan)
        core_.Rescan();
}

// The settings are taken whole or not at all: a file that cannot be read, a line not understood or a
// service user the host lacks keeps the settings the runner has.
void RunnerLoop::reload() {
    if (systemd_)
        sd_notify(0, "RELOADING=1");
    if (!configFile_.empty()) {
        const std::string kept = "; se mantiene la configuración anterior";
        try {
            RunnerConfig config = RunnerConfig::Load(configFile_);
            std::string problem = config.problems.empty()
                                      ? std::string()
                                      : "en «" + configFile_.string() + "», " + config.problems.front();
            if (problem.empty() && ::geteuid() == 0)
                problem = config.AccountProblem();
            if (problem.empty()) {
                core_.Reconfigure(std::move(config));
                say("configuración leída de nuevo de «" + configFile_.string() + "»");
            } else {
                say(problem + kept, Priority::Error);
            }
        } catch (const BrioError& e) {
            say(e.description() + kept, Priority::Error);
        }
    }
    core_.Rescan();
    if (systemd_)
        tellSystemd(true);
}

void RunnerLoop::tellSystemd(bool ready) {
    if (!systemd_)
        return;
    const std::optional<RunnerCore::Instant> next = core_.NextStart();
    const std::string status = std::to_string(core_.TaskCount()) + " tareas; próximo inicio: " +
                               (next ? WallText(*next, core_.Zone()) : std::string("ninguno"));
    if (!ready && status == lastStatus_)
        return;
    lastStatus_ = status;
    sd_notify(0, ((ready ? "READY=1\n" : "") + ("STATUS=" + status)).c_str());
}

int RunnerLoop::Run() {
    setUp();
    std::vector<std::string> problems;
    if (const std::vector<RunnerRequest> stale = TakeRequests(core_.State(), &problems); !stale.empty())
        say("se descartan " + std::to_string(stale.size()) + " peticiones de ejecución de antes de arrancar");
    for (const std::string& problem : problems)
        say(problem, Priority::Warning);
    core_.Start();
    watchFolders();
    core_.Poll();
    tellSystemd(true);
    say("en marcha con " + std::to_string(core_.TaskCount()) + " tareas");
    bool flushing = true;
    bool stopping = false;
    while (!stopping) {
        armWakeup();
        for (int fd : core_.OutputFds())
            watchFd(epoll_, fd);
        epoll_event events[32];
        const int count = ::epoll_wait(epoll_, events, 32, flushing ? 0 : -1);
        if (count < 0 && errno != EINTR)
            fail("no se puede esperar");
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (fd == signals_) {
                signalfd_siginfo info{};
                while (::read(signals_, &info, sizeof info) == sizeof info) {
                    if (info.ssi_signo == SIGTERM || info.ssi_signo == SIGINT)
                        stopping = true;
                    else if (info.ssi_signo == SIGHUP)
                        reload();
                }
            } else if (fd == wakeup_) {
                std::uint64_t expired = 0;
                if (::read(wakeup_, &expired, sizeof expired) < 0 && errno == ECANCELED)
                    core_.ClockChanged();
            } else if (fd == rescan_) {
                drain(rescan_);
                core_.Rescan();
                if (core_.Store().IsOpen()) {
                    std::string problem; // the same watch when the store is the same folder
                    storeWatch_ = watcher_->Add(DescriptorPath(core_.Store().Fd()), problem);
                }
            } else if (fd == watchdog_) {
                drain(watchdog_);
                sd_notify(0, "WATCHDOG=1");
            } else if (fd == reports_.Fd()) {
                // tended below, after every turn
            } else if (fd == watcher_->Fd()) {
                handleWatch();
            } else {
                core_.PumpOutput(fd);
            }
        }
        core_.Poll();
        flushing = core_.FlushStates(kStatesPerTurn);
        reports_.Tend();
        tellSystemd(false);
    }
    say("deteniéndose");
    if (systemd_)
        sd_notify(0, "STOPPING=1");
    core_.Stop(5s);
    if (RunReporter* reports = core_.Reporter())
        reports->Close(5s);
    return 0;
}

} // namespace brio
