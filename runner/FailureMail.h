#pragma once

#include "RunReporter.h"
#include "ScheduleZone.h"

#include <chrono>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace brio {

// Mail about the runs whose result asks for it, as cron mails a job's output: one message per run,
// handed to the mail transport's sendmail as a process of its own with a time limit, so a slow or
// missing transport never holds up the runner. A send that fails is one line in the runner's log.
class FailureMail : public RunReporter {
public:
    static constexpr std::chrono::seconds kDefaultLimit{60};
    static constexpr std::size_t kLogLines = 100;

    // `mailTo`: the To header; `results`: the results that send mail; `command`: the sendmail command
    // line (split at blanks, the message on its standard input).
    FailureMail(std::string mailTo, std::set<std::string> results, std::string command, std::string host,
                std::ostream& messages, std::chrono::milliseconds limit = kDefaultLimit);
    ~FailureMail() override;

    // The whole message (headers, blank line, body) about one recorded run.
    std::string Message(const RunEvent& event) const;
    // "a, b" into the results it names; a word that is none goes to `problems`.
    static std::set<std::string> ParseResults(const std::string& list, std::vector<std::string>& problems);
    std::size_t Sending() const noexcept { return sends_.size(); }

    void RunRecorded(const RunEvent& event) override;
    std::optional<Moment> NextTend() const override;
    void Tend(Moment now) override;
    void Close(std::chrono::milliseconds wait) override;

private:
    struct Send {
        std::string task;
        Moment deadline;
        bool killed = false;
    };
    void say(const std::string& text);

    std::string mailTo_;
    std::set<std::string> results_;
    std::vector<std::string> command_;
    std::string host_;
    std::ostream& messages_;
    std::chrono::milliseconds limit_;
    ScheduleZone zone_;
    std::map<int, Send> sends_; // by process id
};

} // namespace brio
