#include "RunnerLink.h"

#include "RunnerControl.h"
#include "RunnerStatus.h"
#include "TaskStore.h"

#include <optional>

namespace brio {

namespace {

std::optional<std::filesystem::path>& storeFolder() {
    static std::optional<std::filesystem::path> folder;
    return folder;
}

StateFolder stateFolder() {
    return StateFolder(StateFolder::For(storeFolder() ? *storeFolder() : TaskStore::DefaultFolder()));
}

} // namespace

void SetRunnerStoreFolder(const std::filesystem::path& folder) {
    storeFolder() = folder;
}

QString LastRunLine(const std::string& task) {
    const TaskState state = stateFolder().Read(task);
    if (!state.Last())
        return {};
    return QStringLiteral("Última ejecución: ") +
           QString::fromStdString(RunText(*state.Last(), ScheduleZone::Host()));
}

QString LastRunText(const std::string& task) {
    const TaskState state = stateFolder().Read(task);
    const ScheduleZone zone = ScheduleZone::Host();
    if (state.running)
        return QStringLiteral("En ejecución desde ") +
               QString::fromStdString(WallText(state.running->start, zone));
    return state.Last() ? QString::fromStdString(RunText(*state.Last(), zone)) : QStringLiteral("Ninguna");
}

void AskRunnerToRun(const std::string& task) {
    StartThroughRunner(stateFolder(), task, std::chrono::seconds(5));
}

} // namespace brio
