#pragma once

#include "TaskState.h"

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace brio {

// One run as the reports see it: the task, the account it runs as (empty: the runner's default
// account) and its record. At a start the record holds the start, the log and why it started.
struct RunEvent {
    const std::string& task;
    const std::string& account;
    const RunRecord& run;
};

// Where the runner tells what its runs did besides its state folder: the journal, mail, a metrics file.
// The core calls it as things happen; the loop gives it time for what waits (writes, sends to reap).
class RunReporter {
public:
    using Moment = std::chrono::steady_clock::time_point;

    virtual ~RunReporter() = default;
    // A run began.
    virtual void RunStarted(const RunEvent&) {}
    // A record was made: a run ended, or a start did not run (missed, skipped, launch-failed).
    virtual void RunRecorded(const RunEvent&) {}
    // The task's state changed (next start, a run going or recorded); `state` is null when the task
    // left the runner.
    virtual void TaskChanged(const std::string& /*task*/, const TaskState* /*state*/) {}
    // When Tend has something to do next; none while nothing waits.
    virtual std::optional<Moment> NextTend() const { return std::nullopt; }
    // Does what is due at `now`: pending writes, ended sends, sends past their time limit.
    virtual void Tend(Moment /*now*/) {}
    // The runner stops: last writes done, sends still going waited for up to `wait`.
    virtual void Close(std::chrono::milliseconds /*wait*/) {}
};

// Several reporters as one, each told every event in turn; the default account filled in.
class RunReports : public RunReporter {
public:
    explicit RunReports(std::string defaultAccount) : defaultAccount_(std::move(defaultAccount)) {}
    void Add(std::unique_ptr<RunReporter> part) { parts_.push_back(std::move(part)); }
    bool Empty() const noexcept { return parts_.empty(); }

    void RunStarted(const RunEvent& event) override;
    void RunRecorded(const RunEvent& event) override;
    void TaskChanged(const std::string& task, const TaskState* state) override;
    std::optional<Moment> NextTend() const override;
    void Tend(Moment now) override;
    void Close(std::chrono::milliseconds wait) override;

private:
    std::string defaultAccount_;
    std::vector<std::unique_ptr<RunReporter>> parts_;
};

struct LaunchContext;

// The reports the runner's configuration asks for: the journal when standard error goes to it, mail
// when MailTo names someone, the metrics file when MetricsFile names one (its folder checked as the
// runner's folders are: FolderRuleError; a folder that is missing is told and the file left out). Null
// when none is asked for. Problems with the settings go to `messages`.
std::shared_ptr<RunReporter> MakeRunReports(const LaunchContext& launch, std::ostream& messages);

} // namespace brio
