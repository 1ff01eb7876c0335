#include "RunnerWatch.h"

#include "RunnerControl.h"

#include <QDir>

namespace brio {

RunnerWatch::RunnerWatch(StateFolder state, QObject* parent) : QObject(parent), state_(std::move(state)) {
    pid_ = RunningRunner(state_);
    watchFolders();
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) {
        CheckNow();
        if (folder.endsWith(QStringLiteral("/tasks")))
            emit StatesChanged();
    });
    connect(&timer_, &QTimer::timeout, this, [this] { CheckNow(); });
    timer_.start(kLockCheck);
}

void RunnerWatch::watchFolders() {
    // A folder made after the window opened (the runner's first start) is watched from then on.
    const QStringList wanted = {QString::fromStdString(state_.Folder().string()),
                                QString::fromStdString((state_.Folder() / "tasks").string())};
    const QStringList watched = watcher_.directories();
    for (const QString& folder : wanted)
        if (!watched.contains(folder) && QDir(folder).exists())
            watcher_.addPath(folder);
}

void RunnerWatch::CheckNow() {
    watchFolders();
    const std::optional<int> pid = RunningRunner(state_);
    if (pid == pid_)
        return;
    pid_ = pid;
    emit RunnerChanged();
    emit StatesChanged(); // runs a runner adopted or left behind show as they are now
}

} // namespace brio
