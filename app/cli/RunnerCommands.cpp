#include "RunnerCommands.h"

#include "TaskTable.h"

#include "BrioError.h"
#include "ControlEscaper.h"
#include "RunLogTail.h"
#include "RunnerControl.h"
#include "RunnerStatus.h"
#include "TaskStore.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <filesystem>
#include <iostream>

#include <unistd.h>

namespace brio::cli {

namespace {

using namespace std::chrono_literals;

// How long `run` and `end` wait for the runner to take their request.
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

int runTask(const std::string& name, std::ostream& out, std::ostream& err) {
    const std::filesystem::path store = TaskStore::DefaultFolder();
    const std::string task = storedName(store, name);
    if (task.empty())
        throw BrioError(err::SubscriptOutOfRange, "no existe la tarea " + inQuotes(name));
    const StateFolder state(StateFolder::For(store));
    if (!RunningRunner(state)) {
        err << "El ejecutor no está en marcha: la tarea " << inQuotes(task)
            << " no se ha iniciado; inícielo con «systemctl start brioschedule-runner» o, en primer plano, "
               "con "
               "«brioschedule-runner».\n";
        return 1;
    }
    // The runner would only record the start as skipped: nothing is asked.
    if (const TaskState now = state.Read(task); now.running) {
        err << "La tarea " << inQuotes(task) << " ya está en ejecución desde "
            << WallText(now.running->start, ScheduleZone::Host()) << "; no se inicia otra vez.\n";
        return 1;
    }
    const int pid = StartThroughRunner(state, task, kPickupWait);
    out << "Se ha pedido al ejecutor (proceso " << pid << ") que inicie " << inQuotes(task) << ".\n";
    return 0;
}

int endTask(const std::string& name, std::ostream& out, std::ostream& err) {
    const std::filesystem::path store = TaskStore::DefaultFolder();
    const std::string task = storedName(store, name);
    if (task.empty())
        throw BrioError(err::SubscriptOutOfRange, "no existe la tarea " + inQuotes(name));
    const StateFolder state(StateFolder::For(store));
    if (!RunningRunner(state)) {
        err << "El ejecutor no está en marcha: no se puede pedir que finalice " << inQuotes(task)
            << "; inícielo con «systemctl start brioschedule-runner» o, en primer plano, con "
               "«brioschedule-runner».\n";
        return 1;
    }
    // The runner would only note the request: nothing is asked.
    if (!state.Read(task).running) {
        err << "La tarea " << inQuotes(task) << " no está en ejecución: no hay nada que finalizar.\n";
        return 1;
    }
    const int pid = EndThroughRunner(state, task, kPickupWait);
    out << "Se ha pedido al ejecutor (proceso " << pid << ") que finalice " << inQuotes(task) << ".\n";
    return 0;
}

// The task's recorded state; a task deleted after its runs still has its history.
TaskState recordedState(const StateFolder& state, const std::string& name, std::string& task) {
    task = storedName(TaskStore::DefaultFolder(), name);
    if (task.empty()) {
        for (const std::string& recorded : state.Names())
            if (recorded == name)
                task = recorded;
        if (task.empty())
            throw BrioError(err::SubscriptOutOfRange, "no existe la tarea " + inQuotes(name));
    }
    std::string problem;
    TaskState runs = state.Read(task, &problem);
    if (!problem.empty())
        throw BrioError(err::PathFileAccess, problem);
    return runs;
}

int history(const std::string& name, bool json, std::ostream& out) {
    const StateFolder state(StateFolder::For(TaskStore::DefaultFolder()));
    std::string task;
    const TaskState runs = recordedState(state, name, task);
    const ScheduleZone zone = ScheduleZone::Host();
    if (json) {
        QJsonArray items;
        for (auto it = runs.runs.rbegin(); it != runs.runs.rend(); ++it)
            items.append(RunJson(*it, zone));
        writeJson(out, QJsonDocument(items));
        return 0;
    }
    out << "Inicio\tFin\tResultado\tCódigo o señal\tMotivo\tRegistro\n";
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
    out << "Nombre\tResultado\tÚltimo inicio\tPróximo inicio\tEn ejecución\tProblema\n";
    for (const TaskStatus& task : status.tasks) {
        const RunRecord* last = task.state.Last();
        out << Cell(task.name) << '\t' << (last ? Cell(last->result) : "-") << '\t'
            << (last ? WallText(last->start, zone) : "") << '\t'
            << (task.state.next ? WallText(*task.state.next, zone) : "") << '\t'
            << (task.state.running ? "en ejecución" : "") << '\t' << Cell(task.state.problem) << '\n';
    }
    return 0;
}

// The output of a run, the last one or the `back`th counting back (a run still going counts as the
// last); only the log's last MiB.
int runLog(const std::string& name, int back, std::ostream& out, std::ostream& err) {
    const StateFolder state(StateFolder::For(TaskStore::DefaultFolder()));
    std::string task;
    const TaskState runs = recordedState(state, name, task);
    std::vector<std::string> logs; // newest first
    if (runs.running)
        logs.push_back(runs.running->log);
    for (auto it = runs.runs.rbegin(); it != runs.runs.rend(); ++it)
        logs.push_back(it->log);
    if (logs.empty())
        throw BrioError(err::SubscriptOutOfRange,
                        "la tarea " + inQuotes(task) + " no tiene ninguna ejecución anotada");
    if (static_cast<std::size_t>(back) > logs.size())
        throw BrioError(err::SubscriptOutOfRange, "la tarea " + inQuotes(task) + " tiene " +
                                                      std::to_string(logs.size()) + " ejecuciones anotadas");
    const std::string& log = logs[static_cast<std::size_t>(back) - 1];
    if (log.empty())
        throw BrioError(err::FileNotFound,
                        "esa ejecución de " + inQuotes(task) + " no tiene registro de salida");
    const RunLogTail tail = ReadRunLogTail(log);
    if (tail.cut)
        err << "(solo el último MiB de una salida de " << tail.size << " bytes)\n";
    // On a terminal a program's escape sequences are shown, not obeyed.
    if (::isatty(STDOUT_FILENO) && &out == &std::cout) {
        ControlEscaper escaped(out.rdbuf());
        std::ostream(&escaped) << tail.text << std::flush;
    } else {
        out << tail.text;
    }
    return 0;
}

} // namespace

int RunnerCommand(const CliArguments& args, std::ostream& out, std::ostream& err) {
    if (args.command == "run")
        return runTask(args.names.front(), out, err);
    if (args.command == "end")
        return endTask(args.names.front(), out, err);
    if (args.command == "log")
        return runLog(args.names.front(), args.run, out, err);
    if (args.command == "history")
        return history(args.names.front(), args.json, out);
    return status(args.json, out);
}

std::string NoRunnerNote() {
    if (RunningRunner(StateFolder(StateFolder::For(TaskStore::DefaultFolder()))))
        return {};
    // A user's tasks have the user's runner; root's store has the system's.
    return ::geteuid() == 0
               ? "no hay ningún ejecutor para sus tareas: systemctl start brioschedule-runner"
               : "no hay ningún ejecutor para sus tareas: systemctl --user start brioschedule-runner";
}

} // namespace brio::cli
