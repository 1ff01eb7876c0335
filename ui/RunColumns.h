#pragma once

// The system view's runner columns and tooltips: when a task runs next, how its last run went.

#include "ScheduleEngine.h"
#include "TaskListModel.h"
#include "TaskState.h"

#include <QString>

namespace brio {

// "Correcta", "Código 3", "Señal 9", "Finalizada", "Omitida", "Perdida", "No se pudo iniciar".
QString RunResultCaption(const RunRecord& run);

// The three columns of a task: its next start (marked as what would happen when no runner runs), its
// last run's start and the run's result ("En ejecución" while a run is going).
RunCells MakeRunCells(const TaskState& state, const Schedule& next, bool runnerRunning,
                      const ScheduleZone& zone);

// What follows a next start when no runner runs: the task will not start then.
QString NoRunnerMark();

} // namespace brio
