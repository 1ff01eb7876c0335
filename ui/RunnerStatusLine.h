#pragma once

#include <QLabel>

namespace brio {

class RunnerWatch;

// The status bar's line about the runner: "Ejecutor en marcha (pid N)" with the next start of any task,
// or, in warning colours, that no runner runs and how to start one. Follows the runner by itself.
class RunnerStatusLine : public QLabel {
    Q_OBJECT
public:
    RunnerStatusLine(RunnerWatch* watch, QWidget* parent = nullptr);

    // Reads the runner's state again and shows it.
    void Refresh();
    bool Warning() const noexcept { return warning_; }

private:
    // Shows the line, whole in its tooltip when the window is too narrow for it.
    void showLine(const QString& text);

    RunnerWatch* watch_;
    bool warning_ = false;
};

} // namespace brio
