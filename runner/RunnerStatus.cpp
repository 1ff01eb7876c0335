#include "RunnerStatus.h"

#include "RunnerControl.h"
#include "TaskStore.h"

namespace brio {

namespace {

QJsonValue instantJson(const std::optional<std::chrono::sys_seconds>& instant, const ScheduleZone& zone) {
    return instant ? QJsonValue(QString::fromStdString(IsoInstant(*instant, zone))) : QJsonValue();
}

} // namespace

RunnerStatus ReadRunnerStatus(const std::filesystem::path& store) {
    RunnerStatus status;
    status.store = store;
    status.stateFolder = StateFolder::For(store);
    const StateFolder state(status.stateFolder);
    status.pid = RunningRunner(state);
    TaskStore tasks(store);
    tasks.Refresh();
    for (int i = 1; i <= tasks.Count(); ++i) {
        const std::string name = tasks.Item(i)->Name();
        status.tasks.push_back(TaskStatus{name, state.Read(name)});
    }
    return status;
}

std::string ResultText(std::string_view result) {
    if (result == runresult::ok)
        return "correcta";
    if (result == runresult::error)
        return "error";
    if (result == runresult::killed)
        return "terminada";
    if (result == runresult::missed)
        return "perdida";
    if (result == runresult::skipped)
        return "omitida";
    if (result == runresult::launchFailed)
        return "no iniciada";
    return std::string(result);
}

std::string RunText(const RunRecord& run, const ScheduleZone& zone) {
    std::string text = WallText(run.start, zone) + ", " + ResultText(run.result);
    if (!run.reason.empty())
        text += " (" + run.reason + ")";
    return text;
}

QJsonObject RunJson(const RunRecord& run, const ScheduleZone& zone) {
    return QJsonObject{{"Start", instantJson(run.start, zone)},
                       {"End", instantJson(run.end, zone)},
                       {"Result", QString::fromStdString(run.result)},
                       {"ExitCode", run.exitCode ? QJsonValue(*run.exitCode) : QJsonValue()},
                       {"Signal", run.signal ? QJsonValue(*run.signal) : QJsonValue()},
                       {"Reason", QString::fromStdString(run.reason)},
                       {"Log", run.log.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(run.log))}};
}

} // namespace brio
