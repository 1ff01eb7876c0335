#pragma once

// What the window shows of the runner's records and asks of the running runner, on the task store the
// window works on.

#include "StateFolder.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace brio {

// The task store whose runner the window talks to; by default TaskStore::DefaultFolder().
void SetRunnerStoreFolder(const std::filesystem::path& folder);

// "Última ejecución: 08/12/2026 10:00:00, correcta (Terminó correctamente)"; empty when none is recorded.
QString LastRunLine(const std::string& task);
// "08/12/2026 10:00:00, correcta (Terminó correctamente)", "En ejecución desde ..." or "Ninguna".
QString LastRunText(const std::string& task);
// The state folder of the store's runner.
StateFolder RunnerStateFolder();
// The process id of the store's runner; none when no runner runs.
std::optional<int> RunnerPid();
// What the runner recorded of a task; an empty state when nothing (or nothing readable) is recorded.
TaskState TaskRunState(const std::string& task);

// How to start the runner, for people: "systemctl start brioschedule-runner" or the foreground command.
QString HowToStartRunner();

// The answer to a request to start a task now.
struct RunRequestAnswer {
    bool asked = false; // the runner took the request
    QString text;       // in plain Spanish: what was asked, or why nothing was
};
// Asks the running runner to start the task now, as brioschedule-cli run does; a task already running,
// or no runner, is told and nothing is asked.
RunRequestAnswer AskRunnerToRun(const std::string& task);
// Asks the running runner to end the task's run now, as brioschedule-cli end does; a task that is not
// running, or no runner, is told and nothing is asked.
RunRequestAnswer AskRunnerToEnd(const std::string& task);

// After an export: that no runner will start the exported tasks and how to start the store's one;
// empty when one runs.
QString NoRunnerNote();

} // namespace brio
