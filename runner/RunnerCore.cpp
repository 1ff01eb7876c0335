#include "RunnerCore.h"

#include "BrioError.h"
#include "RunnerMessages.h"
#include "StoreFolder.h"
#include "TaskName.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace brio {

namespace {

constexpr std::string_view kJobSuffix = ".job";
// The most missed starts of one task recorded at once; the history keeps no more anyway.
constexpr int kMaxMissedAtOnce = static_cast<int>(TaskState::kMaxRuns);

const char* triggerName(std::int32_t type) {
    return type == trigger::AtLogon ? "Al iniciar sesión" : "Cuando el equipo esté inactivo";
}

bool hasTrigger(const JobData& job, std::int32_t type) {
    if (job.flags & taskflag::disabled)
        return false;
    return std::any_of(job.triggers.items().begin(), job.triggers.items().end(), [&](const SchedTrigger& t) {
        return t.TriggerType() == type && !(t.Flags() & triggerflag::disabled);
    });
}

} // namespace

RunnerCore::RunnerCore(fs::path store, StateFolder state, RunnerOptions options, const RunnerClock& clock,
                       ProcessLauncher& launcher, ScheduleZone zone, std::ostream& messages)
    : store_(std::move(store)), state_(std::move(state)), options_(std::move(options)), clock_(clock),
      launcher_(launcher), engine_(zone), messages_(messages) {}

RunnerCore::~RunnerCore() {
    for (auto& [pid, run] : runs_) {
        if (run.output >= 0)
            ::close(run.output);
        if (run.log >= 0)
            ::close(run.log);
    }
}

RunReporter& RunnerCore::report() {
    static RunReporter silent;
    return options_.reporter ? *options_.reporter : silent;
}

void RunnerCore::say(const std::string& text, Priority priority) {
    SayTo(messages_, priority, text);
}

RunnerCore::Entry* RunnerCore::find(const std::string& name) {
    const auto it = tasks_.find(name);
    if (it != tasks_.end())
        return &it->second;
    const std::string key = TaskNameKey(name);
    for (auto& [other, entry] : tasks_)
        if (TaskNameKey(other) == key)
            return &entry;
    return nullptr;
}

bool RunnerCore::IsRunning(const std::string& name) const {
    return std::any_of(runs_.begin(), runs_.end(),
                       [&](const auto& item) { return item.second.name == name; });
}

uid_t RunnerCore::owner() const {
    return options_.launch.systemMode ? 0 : ::geteuid();
}

void RunnerCore::Start() {
    if (!state_.IsOpen())
        state_.Open(owner());
    storeFolder_ =
        TrustedFolder::Open(store_, owner(), FolderAccess::Private, true); // made as the window makes it
    lastSeen_ = state_.LastSeen();
    Rescan();
    const Instant now = clock_.Now();
    for (auto& [name, entry] : tasks_) {
        if (entry.state.running) {
            // A run the previous runner did not see end.
            RunRecord run{entry.state.running->start,
                          std::nullopt,
                          std::string(runresult::error),
                          std::nullopt,
                          std::nullopt,
                          "El ejecutor se detuvo mientras la tarea se ejecutaba; se desconoce cómo terminó",
                          entry.state.running->log};
            entry.state.running.reset();
            record(entry, std::move(run));
        }
    }
    if (!options_.bootId.empty() && state_.BootId() != options_.bootId) {
        for (auto& [name, entry] : tasks_)
            if (entry.usable && hasTrigger(entry.job, trigger::AtSystemStart))
                launch(entry, now, std::nullopt, "al iniciar el sistema");
        state_.SetBootId(options_.bootId);
    }
    writeUrgent();
}

void RunnerCore::Rescan() {
    // The store is reached through the descriptor opened at the start; only a store that was removed
    // and made again is opened, and checked, anew.
    std::string problem = storeFolder_.Recheck();
    if (!problem.empty()) {
        try {
            storeFolder_ = TrustedFolder::Open(store_, owner(), FolderAccess::Private, false);
            problem.clear();
        } catch (const BrioError& e) {
            problem = e.description();
        }
    }
    if (!problem.empty()) {
        if (problem != storeProblem_)
            say("no se ejecuta ninguna tarea: el almacén de tareas «" + store_.string() + "»: " + problem,
                Priority::Error);
        storeProblem_ = problem;
        while (!tasks_.empty())
            remove(tasks_.begin()->first);
        return;
    }
    storeProblem_.clear();
    std::set<std::string> present;
    for (const std::string& file : storeFolder_.Names())
        if (file.size() > kJobSuffix.size() && file.ends_with(kJobSuffix) && file.front() != '.')
            present.emplace(file.substr(0, file.size() - kJobSuffix.size()));
    std::vector<std::string> gone;
    for (const auto& [name, entry] : tasks_)
        if (!present.count(name))
            gone.push_back(name);
    for (const std::string& name : gone)
        remove(name);
    const bool starting = firstScan_;
    firstScan_ = false;
    for (const std::string& name : present)
        refresh(name, starting);
    writeUrgent();
    noteSeen();
}

void RunnerCore::noteSeen() {
    try {
        state_.SetLastSeen(clock_.Now());
    } catch (const BrioError& e) {
        say(e.description(), Priority::Error);
    }
}

void RunnerCore::TaskFileChanged(const std::string& fileName) {
    if (fileName.size() <= kJobSuffix.size() || !fileName.ends_with(kJobSuffix) || fileName.front() == '.')
        return;
    if (!storeProblem_.empty())
        return;
    refresh(fileName.substr(0, fileName.size() - kJobSuffix.size()), false);
    writeUrgent();
}

void RunnerCore::refresh(const std::string& name, bool starting) {
    if (!TaskNameProblem(name).empty())
        return; // the store itself reports such files
    const std::string fileName = name + std::string(kJobSuffix);
    const fs::path file = store_ / fileName;
    const std::optional<struct stat> info = storeFolder_.Status(fileName);
    if (!info) {
        remove(name);
        return;
    }
    const FileStamp stamp = StampOf(*info);
    const Instant changed{std::chrono::seconds(info->st_mtim.tv_sec)};
    auto found = tasks_.find(name);
    if (found != tasks_.end() && found->second.stamp == stamp)
        return;
    const Instant now = clock_.Now();
    const bool isNew = found == tasks_.end();
    if (isNew) {
        found = tasks_.emplace(name, Entry{}).first;
        Entry& entry = found->second;
        entry.name = name;
        std::string problem;
        entry.state = state_.Read(name, &problem);
        if (!problem.empty())
            say("se empieza de nuevo el estado de la tarea «" + name + "»: " + problem, Priority::Warning);
        report().TaskChanged(name, &entry.state);
        // On the first reading a recorded next start in the past is due (and late, so missed).
        entry.cursor = now - 1s;
        if (starting && entry.state.next && *entry.state.next <= now)
            entry.cursor = *entry.state.next - 1s;
        // A task no runner has seen, made while none ran: its starts from its making on were missed.
        else if (starting && !entry.state.next && entry.state.runs.empty() && lastSeen_ &&
                 changed > *lastSeen_ && changed < now)
            entry.cursor = changed - 1s;
    }
    Entry& entry = found->second;
    entry.stamp = stamp;
    TaskFile read;
    std::string problem;
    bool missing = false;
    if (!ReadTaskFile(storeFolder_, fileName, read, problem, missing)) {
        if (missing) {
            remove(name);
            return;
        }
        entry.usable = false;
        unqueue(entry);
        entry.next.reset();
        const std::string text = "el archivo de tarea «" + file.string() + "» " + problem + "; no se ejecuta";
        if (entry.state.problem != text) {
            say("tarea «" + name + "»: " + text, Priority::Warning);
            entry.state.problem = text;
            entry.state.next.reset();
            markDirty(entry, true);
        }
        return;
    }
    entry.usable = true;
    entry.job = std::move(read.job);
    if (!entry.state.problem.empty()) {
        entry.state.problem.clear();
        markDirty(entry, true);
    }
    if (!isNew)
        entry.cursor = std::max(entry.cursor, now - 1s); // a changed task starts over from now
    noteUnsupported(entry);
    schedule(entry);
}

void RunnerCore::remove(const std::string& name) {
    const auto found = tasks_.find(name);
    if (found == tasks_.end())
        return;
    unqueue(found->second);
    report().TaskChanged(name, nullptr);
    if (found->second.dirty)
        write(found->second);
    tasks_.erase(found);
}

void RunnerCore::unqueue(Entry& entry) {
    if (entry.next)
        queue_.erase({entry.next->start, entry.name});
}

void RunnerCore::schedule(Entry& entry) {
    unqueue(entry);
    entry.next.reset();
    if (entry.usable) {
        const Schedule found = engine_.Next(entry.job.triggers, entry.job.flags, entry.cursor, 1);
        if (!found.starts.empty()) {
            entry.next = found.starts.front();
            queue_.emplace(entry.next->start, entry.name);
        }
    }
    const std::optional<Instant> next = entry.next ? std::optional<Instant>(entry.next->start) : std::nullopt;
    if (entry.state.next != next) {
        entry.state.next = next;
        markDirty(entry, false);
    }
}

void RunnerCore::noteUnsupported(Entry& entry) {
    for (const std::int32_t type : {trigger::AtLogon, trigger::OnIdle}) {
        const std::string note = "unsupported-trigger-" + std::to_string(type);
        if (!hasTrigger(entry.job, type) || entry.state.Noted(note))
            continue;
        entry.state.notes.push_back(note);
        record(entry, RunRecord{clock_.Now(),
                                std::nullopt,
                                std::string(runresult::skipped),
                                std::nullopt,
                                std::nullopt,
                                std::string("El desencadenador «") + triggerName(type) +
                                    "» aún no se admite en este equipo; la tarea no se ejecuta por él",
                                {}});
    }
}

void RunnerCore::Poll() {
    for (const std::string& name : std::vector<std::string>(failed_.begin(), failed_.end())) {
        if (Entry* entry = find(name); entry && entry->name == name)
            write(*entry);
        else
            failed_.erase(name); // the task has gone
    }
    reap();
    const Instant now = clock_.Now();
    for (auto& [pid, run] : runs_) {
        if (run.killAt && !run.terminated && now >= *run.killAt) {
            ::kill(-pid, SIGTERM);
            run.terminated = true;
            run.hardKillAt = now + options_.killGrace;
        }
        if (run.hardKillAt && now >= *run.hardKillAt) {
            ::kill(-pid, SIGKILL);
            run.hardKillAt.reset();
        }
    }
    while (!queue_.empty() && queue_.begin()->first <= now) {
        const std::string name = queue_.begin()->second;
        handleDue(tasks_.at(name), now);
    }
    reap();
    writeUrgent();
}

void RunnerCore::handleDue(Entry& entry, Instant now) {
    const brio::NextStart due = *entry.next;
    if (now - due.start <= options_.lateness) {
        entry.cursor = due.start;
        launch(entry, now, due.killAt, "programada");
        schedule(entry);
        return;
    }
    // Late beyond the margin: the host slept, the clock jumped or no runner ran. None of these runs.
    const std::string reason = "No se ejecutó a su hora: el equipo estaba suspendido, el reloj cambió o el "
                               "ejecutor no estaba en marcha";
    int recorded = 0;
    entry.cursor = due.start;
    recordMissed(entry, due.start, reason);
    for (;;) {
        const Schedule more = engine_.Next(entry.job.triggers, entry.job.flags, entry.cursor, 1);
        if (more.starts.empty() || now - more.starts.front().start <= options_.lateness)
            break;
        if (++recorded >= kMaxMissedAtOnce) {
            recordMissed(entry, more.starts.front().start,
                         reason + "; hubo más inicios perdidos hasta ahora");
            entry.cursor = now - options_.lateness;
            break;
        }
        entry.cursor = more.starts.front().start;
        recordMissed(entry, entry.cursor, reason);
    }
    schedule(entry);
}

void RunnerCore::recordMissed(Entry& entry, Instant start, const std::string& reason) {
    record(entry,
           RunRecord{
               start, std::nullopt, std::string(runresult::missed), std::nullopt, std::nullopt, reason, {}});
}

void RunnerCore::RunNow(const std::string& name) {
    Entry* entry = find(name);
    if (!entry) {
        say("se pidió ejecutar «" + name + "», que no está en el almacén de tareas");
        return;
    }
    if (!entry->usable) {
        say("se pidió ejecutar «" + entry->name + "», pero " + entry->state.problem, Priority::Warning);
        return;
    }
    launch(*entry, clock_.Now(), std::nullopt, "a petición");
    writeUrgent();
}

void RunnerCore::deleteIfDone(const std::string& name) {
    Entry* entry = find(name);
    if (!entry || !entry->usable || !(entry->job.flags & taskflag::deleteWhenDone))
        return;
    if (!engine_.Next(entry->job.triggers, entry->job.flags, clock_.Now(), 1).starts.empty())
        return;
    try {
        if (StoreFolder(store_).Remove(name))
            say("tarea «" + name + "» eliminada tras su ejecución: no tiene más inicios");
    } catch (const BrioError& e) {
        say("no se puede eliminar la tarea «" + name + "» tras su ejecución: " + e.description(),
            Priority::Error);
        return;
    }
    if (entry->dirty)
        write(*entry);
    remove(name);
}

void RunnerCore::record(Entry& entry, RunRecord run) {
    entry.state.Add(std::move(run));
    report().RunRecorded({entry.name, entry.job.account, entry.state.runs.back()});
    markDirty(entry, true);
}

bool RunnerCore::write(Entry& entry) {
    try {
        state_.Write(entry.name, entry.state, entry.urgent);
    } catch (const BrioError& e) {
        // Kept to be written again, whole, before anything newer of the task is lost.
        if (failed_.insert(entry.name).second)
            say(e.description(), Priority::Error);
        dirty_.erase(entry.name);
        urgent_.erase(entry.name);
        return false;
    }
    entry.dirty = entry.urgent = false;
    dirty_.erase(entry.name);
    urgent_.erase(entry.name);
    failed_.erase(entry.name);
    return true;
}

void RunnerCore::markDirty(Entry& entry, bool urgent) {
    entry.dirty = true;
    dirty_.insert(entry.name);
    report().TaskChanged(entry.name, &entry.state);
    if (urgent) {
        entry.urgent = true;
        urgent_.insert(entry.name);
    }
}

void RunnerCore::writeUrgent() {
    while (!urgent_.empty())
        write(tasks_.at(*urgent_.begin()));
}

bool RunnerCore::FlushStates(std::size_t most) {
    while (!dirty_.empty() && most-- > 0)
        write(tasks_.at(*dirty_.begin()));
    return !dirty_.empty();
}

void RunnerCore::Reconfigure(RunnerConfig config) {
    ApplyConfig(options_.launch, std::move(config));
}

void RunnerCore::ClockChanged() {
    const Instant now = clock_.Now();
    for (auto& [name, entry] : tasks_) {
        if (entry.cursor > now)
            entry.cursor = now - 1s; // set back: the starts from the new time on
        schedule(entry);
    }
}

void RunnerCore::ZoneChanged(ScheduleZone zone) {
    engine_ = ScheduleEngine(zone);
    const Instant now = clock_.Now();
    for (auto& [name, entry] : tasks_) {
        entry.cursor = std::max(entry.cursor, now - 1s);
        schedule(entry);
    }
}

std::optional<RunnerCore::Instant> RunnerCore::NextStart() const {
    return queue_.empty() ? std::nullopt : std::optional<Instant>(queue_.begin()->first);
}

std::optional<RunnerCore::Instant> RunnerCore::NextWakeup() const {
    std::optional<Instant> next = NextStart();
    const auto consider = [&](const std::optional<Instant>& at) {
        if (at && (!next || *at < *next))
            next = at;
    };
    for (const auto& [pid, run] : runs_) {
        if (!run.terminated)
            consider(run.killAt);
        consider(run.hardKillAt);
    }
    return next;
}

} // namespace brio
