#pragma once

#include "StateFolder.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

namespace brio {

// Follows the store's runner without a refresh: whether it runs (its lock on "runner.pid") and when it
// records something (a task's state file replaced). The folders are watched; the lock, which a runner
// that dies leaves as a file, is also looked at every few seconds.
class RunnerWatch : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLockCheck{2000};

    explicit RunnerWatch(StateFolder state, QObject* parent = nullptr);

    const StateFolder& State() const noexcept { return state_; }
    // The running runner's process id, as last looked at; none when no runner runs.
    std::optional<int> Pid() const noexcept { return pid_; }
    // Looks at the runner and the folders now.
    void CheckNow();

signals:
    // A runner started or stopped.
    void RunnerChanged();
    // A task's state file changed: a run started, ended or was recorded.
    void StatesChanged();

private:
    void watchFolders();

    StateFolder state_;
    QFileSystemWatcher watcher_;
    QTimer timer_;
    std::optional<int> pid_;
};

} // namespace brio
