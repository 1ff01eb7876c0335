#pragma once

#include "StateFolder.h"

#include <QFileSystemWatcher>
#include <QWidget>

#include <string>

class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace brio {

// A task's last runs as the runner recorded them, newest first, and the output of the run selected (the
// last MiB of its log). Follows the task's state file while it is shown.
class RunHistoryView : public QWidget {
    Q_OBJECT
public:
    RunHistoryView(StateFolder state, std::string task, QWidget* parent = nullptr);

    // Reads the task's state again; the selected run stays selected when it is still listed.
    void Reload();

    QTableWidget* tblEjecuciones; // inicio, fin, duración, resultado, código o señal, motivo
    QPlainTextEdit* txtSalida;    // the selected run's output
    QLabel* lblEstado;            // why nothing is listed, or what the state file could not give

signals:
    // The task's state was read again.
    void Reloaded();

private:
    void showOutput();
    void watch();

    StateFolder state_;
    std::string task_;
    std::vector<std::string> logs_; // by table row
    QFileSystemWatcher watcher_;
};

} // namespace brio
