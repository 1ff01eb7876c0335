#include "RunFeedback.h"

#include "RunColumns.h"
#include "RunnerWatch.h"

#include <QStatusBar>

namespace brio {

RunFeedback::RunFeedback(RunnerWatch* watch, QStatusBar* bar, QObject* parent)
    : QObject(parent), watch_(watch), bar_(bar) {
    connect(watch_, &RunnerWatch::StatesChanged, this, [this] { statesChanged(); });
}

bool RunFeedback::CanRun(const std::string& task) const {
    return watch_->Pid().has_value() && !watch_->State().Read(task).running;
}

bool RunFeedback::CanEnd(const std::string& task) const {
    return watch_->Pid().has_value() && watch_->State().Read(task).running.has_value();
}

RunRequestAnswer RunFeedback::End(const std::string& task) {
    const TaskState now = watch_->State().Read(task);
    const RunRequestAnswer answer = AskRunnerToEnd(task);
    bar_->showMessage(answer.text);
    // The run being ended is recorded with the start it has now.
    if (answer.asked && now.running)
        asked_.insert(QString::fromStdString(task), now.running->start);
    return answer;
}

RunRequestAnswer RunFeedback::Run(const std::string& task) {
    const auto before = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const RunRequestAnswer answer = AskRunnerToRun(task);
    bar_->showMessage(answer.text);
    if (answer.asked)
        asked_.insert(QString::fromStdString(task), before);
    return answer;
}

void RunFeedback::statesChanged() {
    for (auto it = asked_.begin(); it != asked_.end();) {
        const std::string task = it.key().toStdString();
        const TaskState state = watch_->State().Read(task);
        // Done once the runner has recorded a run that began after the request (or is the run ended).
        if (state.running || !state.Last() || state.Last()->start < it.value()) {
            ++it;
            continue;
        }
        const RunRecord& run = *state.Last();
        QString text =
            QStringLiteral("«") + it.key() + QStringLiteral("» ha terminado: ") + RunResultCaption(run);
        if (!run.reason.empty())
            text += QStringLiteral(" (") + QString::fromStdString(run.reason) + QStringLiteral(")");
        bar_->showMessage(text);
        it = asked_.erase(it);
    }
}

} // namespace brio
