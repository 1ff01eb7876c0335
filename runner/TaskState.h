#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brio {

// Results of one run, as the state files and the command line spell them.
namespace runresult {
constexpr std::string_view ok = "ok";
constexpr std::string_view error = "error";
constexpr std::string_view killed = "killed";
constexpr std::string_view missed = "missed";
constexpr std::string_view skipped = "skipped";
constexpr std::string_view launchFailed = "launch-failed";
} // namespace runresult

// One run of a task, or one start that did not run.
struct RunRecord {
    std::chrono::sys_seconds start{};            // the instant the start was due or the run began
    std::optional<std::chrono::sys_seconds> end; // when the run ended; none for starts that did not run
    std::string result;                          // one of runresult
    std::optional<int> exitCode;                 // the program's exit status
    std::optional<int> signal;                   // the signal that ended it
    std::string reason;                          // Spanish, why it ended so
    std::string log;                             // the run's log file; empty when it had none

    bool operator==(const RunRecord&) const = default;
};

// A run still going when the state was written.
struct RunningRun {
    std::chrono::sys_seconds start{};
    int pid = 0;
    std::string log;

    bool operator==(const RunningRun&) const = default;
};

// What the runner keeps about one task: its last runs (oldest first), its next start and what it has
// already told once. Never a password.
struct TaskState {
    static constexpr std::size_t kMaxRuns = 50;

    std::vector<RunRecord> runs;
    std::optional<std::chrono::sys_seconds> next;
    std::optional<RunningRun> running;
    std::string problem;            // why the task is not run (untrusted or unreadable file); empty when none
    std::vector<std::string> notes; // things told once per task (unsupported triggers)

    // Appends a run, dropping the oldest beyond kMaxRuns.
    void Add(RunRecord run);
    const RunRecord* Last() const { return runs.empty() ? nullptr : &runs.back(); }
    bool Noted(std::string_view note) const;

    bool operator==(const TaskState&) const = default;
};

// The state file's text (a small JSON document) and back. Reading fails (false, with the reason in
// Spanish in `problem`) on anything that is not a state file.
std::string WriteTaskState(const TaskState& state);
bool ReadTaskState(std::string_view text, TaskState& state, std::string& problem);

} // namespace brio
