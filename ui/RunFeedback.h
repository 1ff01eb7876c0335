#pragma once

#include "RunnerLink.h"

#include <QHash>
#include <QObject>

#include <chrono>
#include <string>

class QStatusBar;

namespace brio {

class RunnerWatch;

// "Ejecutar ahora" for the window: asks the runner, says so in the status bar, and says how the run
// ended once the runner has recorded it.
class RunFeedback : public QObject {
    Q_OBJECT
public:
    RunFeedback(RunnerWatch* watch, QStatusBar* bar, QObject* parent = nullptr);

    // Asks the runner to start the task now; the answer goes to the status bar and is given back.
    RunRequestAnswer Run(const std::string& task);
    // True when the task can be started now: a runner runs and the task is not running.
    bool CanRun(const std::string& task) const;

private:
    void statesChanged();

    RunnerWatch* watch_;
    QStatusBar* bar_;
    // The tasks asked for, with the instant they were asked for.
    QHash<QString, std::chrono::sys_seconds> asked_;
};

} // namespace brio
