#pragma once

#include "RunReporter.h"
#include "TrustedFolder.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>

namespace brio {

// The runner's and its tasks' figures in the Prometheus text format, in a file a monitoring agent
// reads (the node exporter's textfile folder). Replaced whole at each write, at most once a second
// however many runs end meanwhile.
class MetricsFile : public RunReporter {
public:
    static constexpr std::chrono::seconds kEvery{1};

    // Opens the file's folder by the rule of the runner's folders (owned by `owner`, or root; group and
    // others may read). Throws FolderRuleError or BrioError as TrustedFolder::Open does.
    MetricsFile(const std::filesystem::path& file, uid_t owner, std::ostream& messages);

    // The file's text now.
    std::string Text() const;

    void RunRecorded(const RunEvent& event) override;
    void TaskChanged(const std::string& task, const TaskState* state) override;
    std::optional<Moment> NextTend() const override;
    void Tend(Moment now) override;
    void Close(std::chrono::milliseconds wait) override;

private:
    struct Task {
        std::optional<RunRecord> last; // the last record that was not a skipped start
        std::optional<std::chrono::sys_seconds> next;
        bool running = false;
        std::map<std::string, std::uint64_t> runs; // by result, since the runner started
    };
    void changed();
    void write();

    TrustedFolder folder_;
    std::string name_;
    std::ostream& messages_;
    std::map<std::string, Task> tasks_;
    bool up_ = true;
    bool pending_ = true; // the file is behind
    std::optional<Moment> lastWrite_;
    std::string problem_; // the last write's failure, told once
};

} // namespace brio
