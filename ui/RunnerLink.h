#pragma once

// What the window shows of the runner's records and asks of the running runner, on the task store the
// window works on.

#include <QString>

#include <filesystem>
#include <string>

namespace brio {

// The task store whose runner the window talks to; by default TaskStore::DefaultFolder().
void SetRunnerStoreFolder(const std::filesystem::path& folder);

// "Última ejecución: 08/12/2026 10:00:00, correcta (Terminó correctamente)"; empty when none is recorded.
QString LastRunLine(const std::string& task);
// "08/12/2026 10:00:00, correcta (Terminó correctamente)", "En ejecución desde ..." or "Ninguna".
QString LastRunText(const std::string& task);
// Asks the running runner to start the task now, as brioschedule-cli run does. Throws BrioError.
void AskRunnerToRun(const std::string& task);

} // namespace brio
