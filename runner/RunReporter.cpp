#include "RunReporter.h"

#include "FailureMail.h"
#include "LaunchPlan.h"
#include "MetricsFile.h"
#include "RunJournal.h"

#include <climits>
#include <unistd.h>

namespace brio {

void RunReports::RunStarted(const RunEvent& event) {
    const RunEvent filled{event.task, event.account.empty() ? defaultAccount_ : event.account, event.run};
    for (const auto& part : parts_)
        part->RunStarted(filled);
}

void RunReports::RunRecorded(const RunEvent& event) {
    const RunEvent filled{event.task, event.account.empty() ? defaultAccount_ : event.account, event.run};
    for (const auto& part : parts_)
        part->RunRecorded(filled);
}

void RunReports::TaskChanged(const std::string& task, const TaskState* state) {
    for (const auto& part : parts_)
        part->TaskChanged(task, state);
}

std::optional<RunReporter::Moment> RunReports::NextTend() const {
    std::optional<Moment> next;
    for (const auto& part : parts_)
        if (const std::optional<Moment> at = part->NextTend(); at && (!next || *at < *next))
            next = at;
    return next;
}

void RunReports::Tend(Moment now) {
    for (const auto& part : parts_)
        part->Tend(now);
}

void RunReports::Close(std::chrono::milliseconds wait) {
    for (const auto& part : parts_)
        part->Close(wait);
}

std::shared_ptr<RunReporter> MakeRunReports(const LaunchContext& launch, std::ostream& messages) {
    const RunnerConfig& config = launch.config;
    auto reports = std::make_shared<RunReports>(launch.systemMode ? config.serviceUser : launch.ownUser);
    if (RunJournal::StandardErrorIsJournal())
        reports->Add(std::make_unique<RunJournal>());
    if (!config.mailTo.empty()) {
        std::vector<std::string> problems;
        std::set<std::string> results = FailureMail::ParseResults(config.mailOn, problems);
        for (const std::string& problem : problems)
            messages << "brioschedule-runner: " << problem << " (se ignora)\n";
        char host[HOST_NAME_MAX + 1] = {};
        if (::gethostname(host, sizeof host - 1) != 0)
            host[0] = '\0';
        reports->Add(std::make_unique<FailureMail>(config.mailTo, std::move(results), config.sendmailCommand,
                                                   host, messages));
    }
    if (!config.metricsFile.empty()) {
        try {
            reports->Add(std::make_unique<MetricsFile>(config.metricsFile,
                                                       launch.systemMode ? 0 : ::geteuid(), messages));
        } catch (const FolderRuleError&) {
            throw; // a folder others could change stops the runner, as its other folders do
        } catch (const BrioError& e) {
            // A monitoring agent not installed yet must not keep the tasks from running.
            messages << "brioschedule-runner: no se escribe el archivo de métricas: " << e.description()
                     << '\n';
        }
    }
    return reports->Empty() ? nullptr : reports;
}

} // namespace brio
