#pragma once

#include "RunnerLink.h"

#include <QHash>
#include <QObject>

#include <chrono>
#include <string>

class QStatusBar;

namespace brio {

class RunnerWatch;

// "Ejecutar ahora" and "Finalizar tarea" for the window: asks the runner, says so in the status bar, and
// says how the run ended once the runner has recorded it.
class RunFeedback : public QObject {
    Q_OBJECT
public:
    RunFeedback(RunnerWatch* watch, QStatusBar* bar, QObject* parent = nullptr);

    // Asks the runner to start the task now; the answer goes to the status bar and is given back.
    RunRequestAnswer Run(const std::string& task);
    // True when the task can be started now: a runner runs and the task is not running.
    bool CanRun(const std::string& task) const;
    // Asks the runner to end the task's run now, as Run asks it to start one.
    RunRequestAnswer End(const std::string& task);
    // True when the task's run can be ended now: a runner runs and the task is running.
    bool CanEnd(const std::string& task) const;

private:
    void statesChanged();

    RunnerWatch* watch_;
    QStatusBar* bar_;
    // The tasks asked for, with the earliest start of the run whose end is awaited.
    QHash<QString, std::chrono::sys_seconds> asked_;
};

} // namespace brio
