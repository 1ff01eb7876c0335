#pragma once

#include "ScheduleZone.h"
#include "StateFolder.h"

#include <QJsonObject>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brio {

// One task as the state folder tells it.
struct TaskStatus {
    std::string name;
    TaskState state;
};

// Whether a runner works on a store, and what it recorded of each of the store's tasks.
struct RunnerStatus {
    std::filesystem::path store;
    std::filesystem::path stateFolder;
    std::optional<int> pid;        // the running runner; none when no runner runs
    std::vector<TaskStatus> tasks; // in the store's order
};

// Reads the store's task names and each task's state.
RunnerStatus ReadRunnerStatus(const std::filesystem::path& store);

// The Spanish word for a result: "correcta", "error", "terminada", "perdida", "omitida", "no iniciada".
std::string ResultText(std::string_view result);

// "08/12/2026 10:00:00, correcta (Terminó correctamente)": a run in one line, for people.
std::string RunText(const RunRecord& run, const ScheduleZone& zone);

// A run as the command line's JSON: Start, End, Result, ExitCode, Signal, Reason, Log (instants in
// ISO 8601 with offset; null where there is nothing).
QJsonObject RunJson(const RunRecord& run, const ScheduleZone& zone);

} // namespace brio
