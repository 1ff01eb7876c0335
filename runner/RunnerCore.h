#pragma once

#include "LaunchPlan.h"
#include "ProcessLauncher.h"
#include "RunReporter.h"
#include "RunnerClock.h"
#include "RunnerMessages.h"
#include "ScheduleEngine.h"
#include "StateFolder.h"
#include "TaskFileReader.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace brio {

struct RunnerOptions {
    LaunchContext launch;                // who runs the tasks and how programs are found
    std::chrono::seconds killGrace{180}; // from SIGTERM to SIGKILL at a run's kill instant
    std::chrono::seconds lateness{60};   // a start noticed later than this was missed, not run
    std::string bootId;                  // this boot's id; empty: no start-up triggers
    std::size_t logLimit = 1024 * 1024;  // bytes of one run's log, the cut note included
    // Told of every run and state change; none: no reports.
    std::shared_ptr<RunReporter> reporter;
};

// The runner without its event loop: the store's tasks, their next starts, the runs going on and
// the state folder. Everything happens in calls the loop (or a test) makes; time comes from the clock.
class RunnerCore {
public:
    using Instant = std::chrono::sys_seconds;

    RunnerCore(std::filesystem::path store, StateFolder state, RunnerOptions options,
               const RunnerClock& clock, ProcessLauncher& launcher, ScheduleZone zone,
               std::ostream& messages);
    ~RunnerCore();
    RunnerCore(const RunnerCore&) = delete;
    RunnerCore& operator=(const RunnerCore&) = delete;

    // Opens the state folder (when the caller has not) and the store as trusted folders, then reads the
    // store and the tasks' states: starts missed while no runner ran are recorded as missed, runs a
    // previous runner left are closed, and on a new boot the start-up triggers fire. A folder that breaks
    // the rule of trusted folders is FolderRuleError.
    void Start();
    // Reads the folder again: new, changed and removed task files.
    void Rescan();
    // One entry of the store folder was written, replaced or removed (a file name, "<name>.job").
    void TaskFileChanged(const std::string& fileName);
    // Starts a task now, as a person asked (any letter case of its name).
    void RunNow(const std::string& name);
    // Ends the task's run now, as a person asked: SIGTERM to its processes, SIGKILL after the grace.
    void EndNow(const std::string& name);
    // Ends runs that are over, sends the signals of kill instants, starts what is due.
    void Poll();
    // New settings of the runner, read again on reload: they count from the next launch.
    void Reconfigure(RunnerConfig config);
    // The wall clock was set: starts are computed again (a backward jump from the new time).
    void ClockChanged();
    // The host's time zone changed.
    void ZoneChanged(ScheduleZone zone);

    // The read ends of the running programs' output, and the copying of what is waiting on one.
    std::vector<int> OutputFds() const;
    void PumpOutput(int fd);

    // When Poll has something to do next: a start or a signal.
    std::optional<Instant> NextWakeup() const;
    // The earliest next start of any task.
    std::optional<Instant> NextStart() const;
    std::size_t TaskCount() const noexcept { return tasks_.size(); }
    std::size_t RunningCount() const noexcept { return runs_.size(); }
    bool IsRunning(const std::string& name) const;

    // Writes up to `most` state files that changed only in their next start; true when more wait.
    bool FlushStates(std::size_t most);
    // Ends every run (SIGTERM, SIGKILL after `wait`), records it, writes every pending state.
    void Stop(std::chrono::milliseconds wait);

    const StateFolder& State() const noexcept { return state_; }
    // The store folder as the runner opened it; not open before Start.
    const TrustedFolder& Store() const noexcept { return storeFolder_; }
    const ScheduleZone& Zone() const noexcept { return engine_.Zone(); }
    RunReporter* Reporter() const noexcept { return options_.reporter.get(); }

private:
    struct Entry {
        std::string name;
        FileStamp stamp;
        bool usable = false; // read and, in the system runner, trusted
        JobData job;
        Instant cursor{}; // every start up to here has been handled
        std::optional<brio::NextStart> next;
        TaskState state;
        bool dirty = false;  // the state file is behind
        bool urgent = false; // ... with a run in it: written at the end of this call
    };
    struct Run {
        std::string name;
        Instant start{};
        std::optional<Instant> killAt;
        std::optional<Instant> hardKillAt;
        bool terminated = false; // SIGTERM sent at the kill instant
        bool stopping = false;   // ended because the runner stops
        bool ended = false;      // ended because a person asked
        int pid = -1;
        int output = -1;
        int log = -1;
        std::size_t written = 0;
        bool cut = false;
        std::string logPath;
        std::string logError; // why the output could not all be kept
    };

    Entry* find(const std::string& name);
    void refresh(const std::string& name, bool starting);
    void remove(const std::string& name);
    void schedule(Entry& entry);
    void unqueue(Entry& entry);
    void handleDue(Entry& entry, Instant now);
    void launch(Entry& entry, Instant now, std::optional<Instant> killAt, const std::string& why);
    void finish(Run& run, int status);
    void reap();
    void record(Entry& entry, RunRecord run);
    void recordMissed(Entry& entry, Instant start, const std::string& reason);
    void noteUnsupported(Entry& entry);
    void deleteIfDone(const std::string& name);
    void writeUrgent();
    void markDirty(Entry& entry, bool urgent);
    bool write(Entry& entry);
    void noteSeen();
    void say(const std::string& text, Priority priority = Priority::Notice);
    RunReporter& report();
    uid_t owner() const; // who the runner's folders and task files belong to

    std::filesystem::path store_;
    TrustedFolder storeFolder_; // the store, opened and checked at the start
    StateFolder state_;
    RunnerOptions options_;
    const RunnerClock& clock_;
    ProcessLauncher& launcher_;
    ScheduleEngine engine_;
    std::ostream& messages_;
    std::string storeProblem_;
    bool firstScan_ = true;
    std::map<std::string, Entry> tasks_;
    std::set<std::pair<Instant, std::string>> queue_;
    std::map<int, Run> runs_;         // by process id
    std::set<std::string> dirty_;     // tasks whose state file is behind
    std::set<std::string> urgent_;    // ... with a run to record
    std::set<std::string> failed_;    // ... whose last write failed: tried again at the next poll
    std::optional<Instant> lastSeen_; // when a runner last ran before this one
};

} // namespace brio
