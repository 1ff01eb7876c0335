#include "RunnerLink.h"

#include "BrioError.h"

#include "RunnerControl.h"
#include "RunnerStatus.h"
#include "TaskStore.h"

#include <optional>

#include <unistd.h>

namespace brio {

namespace {

std::optional<std::filesystem::path>& storeFolder() {
    static std::optional<std::filesystem::path> folder;
    return folder;
}

QString quoted(const std::string& task) {
    return QStringLiteral("«") + QString::fromStdString(task) + QStringLiteral("»");
}

// A request the runner did not take: its own words, without the error table's.
QString notAsked(const QString& what, const BrioError& e) {
    return QStringLiteral("No se ha podido pedir que se ") + what + QStringLiteral(": ") +
           QString::fromStdString(e.what()).section(QStringLiteral(": "), 1, -1) + QStringLiteral(".");
}

StateFolder stateFolder() {
    return StateFolder(StateFolder::For(storeFolder() ? *storeFolder() : TaskStore::DefaultFolder()));
}

} // namespace

void SetRunnerStoreFolder(const std::filesystem::path& folder) {
    storeFolder() = folder;
}

StateFolder RunnerStateFolder() {
    return stateFolder();
}

std::optional<int> RunnerPid() {
    return RunningRunner(stateFolder());
}

TaskState TaskRunState(const std::string& task) {
    return stateFolder().Read(task);
}

QString HowToStartRunner() {
    return QStringLiteral("inícielo con «systemctl start brioschedule-runner» o, en primer plano, con "
                          "«brioschedule-runner»");
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

RunRequestAnswer AskRunnerToRun(const std::string& task) {
    const QString name = quoted(task);
    const StateFolder state = stateFolder();
    if (!RunningRunner(state))
        return {false, QStringLiteral("El ejecutor no está en marcha: la tarea ") + name +
                           QStringLiteral(" no se ha iniciado; ") + HowToStartRunner() + QStringLiteral(".")};
    if (state.Read(task).running)
        return {false, QStringLiteral("La tarea ") + name +
                           QStringLiteral(" ya está en ejecución: no se inicia otra vez.")};
    try {
        const int pid = StartThroughRunner(state, task, std::chrono::seconds(5));
        return {true, QStringLiteral("Se ha pedido al ejecutor (proceso %1) que inicie ").arg(pid) + name +
                          QStringLiteral(".")};
    } catch (const BrioError& e) {
        return {false, notAsked(QStringLiteral("inicie ") + name, e)};
    }
}

RunRequestAnswer AskRunnerToEnd(const std::string& task) {
    const QString name = quoted(task);
    const StateFolder state = stateFolder();
    if (!RunningRunner(state))
        return {false, QStringLiteral("El ejecutor no está en marcha: no se puede pedir que finalice ") +
                           name + QStringLiteral("; ") + HowToStartRunner() + QStringLiteral(".")};
    // The runner would only note the request: nothing is asked.
    if (!state.Read(task).running)
        return {false, QStringLiteral("La tarea ") + name +
                           QStringLiteral(" no está en ejecución: no hay nada que finalizar.")};
    try {
        const int pid = EndThroughRunner(state, task, std::chrono::seconds(5));
        return {true, QStringLiteral("Se ha pedido al ejecutor (proceso %1) que finalice ").arg(pid) + name +
                          QStringLiteral(".")};
    } catch (const BrioError& e) {
        return {false, notAsked(QStringLiteral("finalice ") + name, e)};
    }
}

QString NoRunnerNote() {
    if (RunningRunner(stateFolder()))
        return {};
    // A user's tasks have the user's runner; root's store has the system's.
    return ::geteuid() == 0
               ? QStringLiteral("no hay ningún ejecutor para sus tareas: systemctl start brioschedule-runner")
               : QStringLiteral(
                     "no hay ningún ejecutor para sus tareas: systemctl --user start brioschedule-runner");
}

} // namespace brio
