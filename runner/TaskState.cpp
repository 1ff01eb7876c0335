#include "TaskState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace brio {

namespace {

using std::chrono::sys_seconds;

QJsonValue instantValue(const std::optional<sys_seconds>& instant) {
    return instant ? QJsonValue(static_cast<double>(instant->time_since_epoch().count())) : QJsonValue();
}

std::optional<sys_seconds> instantOf(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    return sys_seconds(std::chrono::seconds(static_cast<std::int64_t>(value.toDouble())));
}

std::optional<int> numberOf(const QJsonValue& value) {
    return value.isDouble() ? std::optional<int>(value.toInt()) : std::nullopt;
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

std::string text(const QJsonValue& value) {
    return value.toString().toStdString();
}

} // namespace

void TaskState::Add(RunRecord run) {
    runs.push_back(std::move(run));
    if (runs.size() > kMaxRuns)
        runs.erase(runs.begin(), runs.end() - static_cast<std::ptrdiff_t>(kMaxRuns));
}

bool TaskState::Noted(std::string_view note) const {
    return std::find(notes.begin(), notes.end(), note) != notes.end();
}

std::string WriteTaskState(const TaskState& state) {
    QJsonArray runs;
    for (const RunRecord& run : state.runs) {
        QJsonObject item{{"Start", instantValue(run.start)},
                         {"End", instantValue(run.end)},
                         {"Result", text(run.result)},
                         {"ExitCode", run.exitCode ? QJsonValue(*run.exitCode) : QJsonValue()},
                         {"Signal", run.signal ? QJsonValue(*run.signal) : QJsonValue()},
                         {"Reason", text(run.reason)},
                         {"Log", text(run.log)}};
        runs.append(item);
    }
    QJsonObject root{{"Version", 1}, {"Next", instantValue(state.next)}, {"Runs", runs}};
    if (state.running)
        root["Running"] = QJsonObject{{"Start", instantValue(state.running->start)},
                                      {"Pid", state.running->pid},
                                      {"Log", text(state.running->log)}};
    if (!state.problem.empty())
        root["Problem"] = text(state.problem);
    if (!state.notes.empty()) {
        QJsonArray notes;
        for (const std::string& note : state.notes)
            notes.append(text(note));
        root["Notes"] = notes;
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

bool ReadTaskState(std::string_view content, TaskState& state, std::string& problem) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(content.data(), static_cast<qsizetype>(content.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        problem = "el archivo de estado no es JSON válido (posición " + std::to_string(error.offset) +
                  "): " + error.errorString().toStdString();
        return false;
    }
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value("Version").toInt() != 1) {
        problem = "el archivo de estado no tiene la versión 1";
        return false;
    }
    TaskState read;
    read.next = instantOf(root.value("Next"));
    for (const QJsonValue& value : root.value("Runs").toArray()) {
        const QJsonObject item = value.toObject();
        const std::optional<sys_seconds> start = instantOf(item.value("Start"));
        if (!start) {
            problem = "una ejecución del archivo de estado no tiene inicio";
            return false;
        }
        read.runs.push_back(RunRecord{*start, instantOf(item.value("End")), text(item.value("Result")),
                                      numberOf(item.value("ExitCode")), numberOf(item.value("Signal")),
                                      text(item.value("Reason")), text(item.value("Log"))});
    }
    if (const QJsonObject running = root.value("Running").toObject(); !running.isEmpty()) {
        if (const std::optional<sys_seconds> start = instantOf(running.value("Start")))
            read.running = RunningRun{*start, running.value("Pid").toInt(), text(running.value("Log"))};
    }
    read.problem = text(root.value("Problem"));
    for (const QJsonValue& note : root.value("Notes").toArray())
        read.notes.push_back(text(note));
    state = std::move(read);
    return true;
}

} // namespace brio
