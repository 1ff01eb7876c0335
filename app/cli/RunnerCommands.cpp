#include "RunnerCommands.h"

#include "TaskTable.h"

#include "BrioError.h"
#include "RunnerControl.h"
#include "RunnerStatus.h"
#include "TaskStore.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <filesystem>

namespace brio::cli {

namespace {

using namespace std::chrono_literals;

// How long `run` waits for the runner to take its request.
constexpr auto kPickupWait = 5s;

std::string inQuotes(const std::string& name) {
    return "«" + name + "»";
}

// The store's own spelling of a task name; empty when the store does not hold it.
std::string storedName(const std::filesystem::path& store, const std::string& name) {
    TaskStore tasks(store);
    tasks.Refresh();
    try {
        return tasks.Item(name)->Name();
    } catch (const BrioError& e) {
        if (e.number() != err::SubscriptOutOfRange)
            throw;
        return {};
    }
}

void writeJson(std::ostream& out, const QJsonDocument& document) {
    out << document.toJson(QJsonDocument::Indented).toStdString();
}

int runTask(const std::string& name, std::ostream& out) {
    const std::filesystem::path store = TaskStore::DefaultFolder();
    const std::string task = storedName(store, name);
    if (task.empty())
        throw BrioError(err::SubscriptOutOfRange, "no existe la tarea " + inQuotes(name));
    const int pid = StartThroughRunner(StateFolder(StateFolder::For(store)), task, kPickupWait);
    out << "Se ha pedido al ejecutor (proceso " << pid << ") que inicie " << inQuotes(task) << ".\n";
    return 0;
}

int history(const std::string& name, bool json, std::ostream& out) {
    const std::filesystem::path store = TaskStore::DefaultFolder();
    const StateFolder state(StateFolder::For(store));
    std::string task = storedName(store, name);
    if (task.empty()) {
        // A task deleted after its runs still has its history.
        for (const std::string& recorded : state.Names())
            if (recorded == name)
                task = recorded;
        if (task.empty())
            throw BrioError(err::SubscriptOutOfRange, "no existe la tarea " + inQuotes(name));
    }
    std::string problem;
    const TaskState runs = state.Read(task, &problem);
    if (!problem.empty())
        throw BrioError(err::PathFileAccess, problem);
    const ScheduleZone zone = ScheduleZone::Host();
    if (json) {
        QJsonArray items;
        for (auto it = runs.runs.rbegin(); it != runs.runs.rend(); ++it)
            items.append(RunJson(*it, zone));
        writeJson(out, QJsonDocument(items));
        return 0;
    }
    for (auto it = runs.runs.rbegin(); it != runs.runs.rend(); ++it) {
        const RunRecord& run = *it;
        const std::string ended = run.exitCode ? "código " + std::to_string(*run.exitCode)
                                  : run.signal ? "señal " + std::to_string(*run.signal)
                                               : std::string();
        out << WallText(run.start, zone) << '\t' << (run.end ? WallText(*run.end, zone) : "") << '\t'
            << Cell(run.result) << '\t' << ended << '\t' << Cell(run.reason) << '\t' << Cell(run.log) << '\n';
    }
    return 0;
}

int status(bool json, std::ostream& out) {
    const RunnerStatus status = ReadRunnerStatus(TaskStore::DefaultFolder());
    const ScheduleZone zone = ScheduleZone::Host();
    if (json) {
        QJsonArray tasks;
        for (const TaskStatus& task : status.tasks) {
            const RunRecord* last = task.state.Last();
            tasks.append(QJsonObject{
                {"Name", QString::fromStdString(task.name)},
                {"LastStart",
                 last ? QJsonValue(QString::fromStdString(IsoInstant(last->start, zone))) : QJsonValue()},
                {"LastResult", last ? QJsonValue(QString::fromStdString(last->result)) : QJsonValue()},
                {"LastReason", last ? QJsonValue(QString::fromStdString(last->reason)) : QJsonValue()},
                {"Next", task.state.next
                             ? QJsonValue(QString::fromStdString(IsoInstant(*task.state.next, zone)))
                             : QJsonValue()},
                {"Running", task.state.running.has_value()},
                {"Problem", task.state.problem.empty()
                                ? QJsonValue()
                                : QJsonValue(QString::fromStdString(task.state.problem))}});
        }
        writeJson(out,
                  QJsonDocument(QJsonObject{{"Store", QString::fromStdString(status.store.string())},
                                            {"State", QString::fromStdString(status.stateFolder.string())},
                                            {"Running", status.pid.has_value()},
                                            {"Pid", status.pid ? QJsonValue(*status.pid) : QJsonValue()},
                                            {"Tasks", tasks}}));
        return 0;
    }
    if (status.pid)
        out << "Ejecutor en marcha (proceso " << *status.pid << ") sobre " << inQuotes(status.store.string())
            << '\n';
    else
        out << "No hay ningún ejecutor en marcha sobre " << inQuotes(status.store.string()) << '\n';
    for (const TaskStatus& task : status.tasks) {
        const RunRecord* last = task.state.Last();
        out << Cell(task.name) << '\t' << (last ? Cell(last->result) : "-") << '\t'
            << (last ? WallText(last->start, zone) : "") << '\t'
            << (task.state.next ? WallText(*task.state.next, zone) : "") << '\t'
            << (task.state.running ? "en ejecución" : "") << '\t' << Cell(task.state.problem) << '\n';
    }
    return 0;
}

} // namespace

int RunnerCommand(const CliArguments& args, std::ostream& out, std::ostream&) {
    if (args.command == "run")
        return runTask(args.names.front(), out);
    if (args.command == "history")
        return history(args.names.front(), args.json, out);
    return status(args.json, out);
}

} // namespace brio::cli
