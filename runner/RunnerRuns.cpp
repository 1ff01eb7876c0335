// The runs of the runner's core: starting them, their output and its log, their ends and how each is
// recorded, ending them on request and when the runner stops.
#include "RunnerCore.h"

#include "BrioError.h"
#include "SystemMessages.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace brio {

namespace {

std::string signalName(int signal) {
    const char* name = sigabbrev_np(signal);
    return name ? std::string("SIG") + name : std::to_string(signal);
}

} // namespace

void RunnerCore::EndNow(const std::string& name) {
    const Entry* entry = find(name);
    const auto run = std::find_if(runs_.begin(), runs_.end(),
                                  [&](const auto& item) { return entry && item.second.name == entry->name; });
    if (run == runs_.end()) {
        say("se pidió finalizar «" + (entry ? entry->name : name) + "», que no está en ejecución");
        return;
    }
    if (run->second.ended || run->second.terminated)
        return; // already being ended
    run->second.ended = true;
    ::kill(-run->first, SIGTERM);
    run->second.hardKillAt = clock_.Now() + options_.killGrace;
}

void RunnerCore::launch(Entry& entry, Instant now, std::optional<Instant> killAt, const std::string& why) {
    const auto failed = [&](const std::string& reason, std::string_view result) {
        record(entry,
               RunRecord{now, std::nullopt, std::string(result), std::nullopt, std::nullopt, reason, {}});
    };
    if (IsRunning(entry.name)) {
        failed("La ejecución anterior de la tarea aún no ha terminado; este inicio (" + why + ") se omite",
               runresult::skipped);
        return;
    }
    std::string reason;
    const std::optional<LaunchPlan> plan = PlanLaunch(entry.job, options_.launch, reason);
    if (!plan) {
        failed("No se puede iniciar: " + reason, runresult::launchFailed);
        return;
    }
    Run run;
    try {
        NewLogFile log = state_.CreateLog(entry.name, now);
        run.logPath = log.path.string();
        run.log = log.fd.release();
    } catch (const BrioError& e) {
        failed("No se puede crear el registro de la ejecución: " + e.description(), runresult::launchFailed);
        return;
    }
    const StartedProcess started = launcher_.Start(*plan);
    if (started.pid < 0) {
        ::close(run.log);
        state_.RemoveLog(entry.name, fs::path(run.logPath).filename().string());
        failed("No se puede iniciar: " + started.failure, runresult::launchFailed);
        return;
    }
    run.name = entry.name;
    run.start = now;
    run.killAt = killAt;
    run.pid = started.pid;
    run.output = started.output;
    entry.state.running = RunningRun{now, started.pid, run.logPath};
    report().RunStarted({entry.name, entry.job.account, RunRecord{now, {}, {}, {}, {}, why, run.logPath}});
    markDirty(entry, true);
    runs_.emplace(started.pid, std::move(run));
}

void RunnerCore::PumpOutput(int fd) {
    for (auto& [pid, run] : runs_) {
        if (run.output != fd)
            continue;
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got == 0 || errno != EAGAIN) {
                    ::close(run.output); // every writer has gone
                    run.output = -1;
                }
                return;
            }
            // Room is kept for the note that says the log was cut.
            const std::size_t room = options_.logLimit > 128 ? options_.logLimit - 128 : 0;
            std::size_t keep = static_cast<std::size_t>(got);
            if (run.written + keep > room) {
                keep = room > run.written ? room - run.written : 0;
                run.cut = true;
            }
            if (keep > 0 && run.log >= 0) {
                const ssize_t done = ::write(run.log, buffer, keep);
                if (done == static_cast<ssize_t>(keep))
                    run.written += keep;
                else if (run.logError.empty())
                    run.logError = done < 0 ? SystemErrorText(errno) : "el registro se quedó sin espacio";
            }
        }
    }
}

std::vector<int> RunnerCore::OutputFds() const {
    std::vector<int> fds;
    for (const auto& [pid, run] : runs_)
        if (run.output >= 0)
            fds.push_back(run.output);
    return fds;
}

void RunnerCore::reap() {
    std::vector<int> ended;
    for (auto& [pid, run] : runs_) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            finish(run, status);
            ended.push_back(pid);
        }
    }
    for (int pid : ended)
        runs_.erase(pid);
}

void RunnerCore::finish(Run& run, int status) {
    if (run.output >= 0) {
        PumpOutput(run.output); // what the program wrote before it ended
        if (run.output >= 0)
            ::close(run.output); // a child it left behind may still hold the pipe
        run.output = -1;
    }
    if (run.log >= 0) {
        if (run.cut) {
            const std::string note = "\n[brioschedule-runner: salida recortada; el registro de una ejecución "
                                     "se limita a " +
                                     std::to_string(options_.logLimit / 1024) + " KiB]\n";
            if (::write(run.log, note.data(), note.size()) != static_cast<ssize_t>(note.size()) &&
                run.logError.empty())
                run.logError = SystemErrorText(errno);
        }
        ::close(run.log);
        run.log = -1;
    }
    RunRecord record{run.start, clock_.Now(), {}, std::nullopt, std::nullopt, {}, run.logPath};
    if (WIFEXITED(status))
        record.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        record.signal = WTERMSIG(status);
    if (run.ended) {
        record.result = runresult::killed;
        record.reason = "finalizada por el administrador";
    } else if (run.stopping) {
        record.result = runresult::killed;
        record.reason = "Se terminó porque el ejecutor se detuvo";
    } else if (run.terminated) {
        record.result = runresult::killed;
        record.reason = "Se terminó al acabar su duración";
    } else if (record.exitCode == 0) {
        record.result = runresult::ok;
        record.reason = "Terminó correctamente";
    } else if (record.exitCode) {
        record.result = runresult::error;
        record.reason = "Terminó con el código " + std::to_string(*record.exitCode);
    } else {
        record.result = runresult::error;
        record.reason = "Terminó por la señal " + signalName(record.signal.value_or(0));
    }
    if (!run.logError.empty())
        record.reason += "; la salida no se pudo guardar: " + run.logError;
    if (Entry* entry = find(run.name); entry && entry->name == run.name) {
        entry->state.running.reset();
        this->record(*entry, std::move(record));
    } else {
        // The task left the store while it ran: its state file still gets the run.
        TaskState state = state_.Read(run.name);
        state.running.reset();
        state.Add(std::move(record));
        report().RunRecorded({run.name, std::string(), state.runs.back()});
        try {
            state_.Write(run.name, state);
        } catch (const BrioError& e) {
            say(e.description(), Priority::Error);
        }
    }
    state_.PruneLogs(run.name);
    deleteIfDone(run.name);
}

void RunnerCore::Stop(std::chrono::milliseconds wait) {
    for (auto& [pid, run] : runs_) {
        run.stopping = true;
        ::kill(-pid, SIGTERM);
    }
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!runs_.empty() && std::chrono::steady_clock::now() < until) {
        for (int fd : OutputFds())
            PumpOutput(fd);
        reap();
        if (!runs_.empty())
            std::this_thread::sleep_for(20ms);
    }
    for (auto& [pid, run] : runs_)
        ::kill(-pid, SIGKILL);
    for (auto& [pid, run] : runs_) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        finish(run, status);
    }
    runs_.clear();
    FlushStates(tasks_.size());
    noteSeen();
}

} // namespace brio
