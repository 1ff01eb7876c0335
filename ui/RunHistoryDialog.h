#pragma once

#include <QDialog>

#include <string>

class QPushButton;

namespace brio {

class RunHistoryView;

// "Historial de ejecuciones": a task's last runs and their output, kept up to date while open.
class RunHistoryDialog : public QDialog {
    Q_OBJECT
public:
    RunHistoryDialog(const std::string& task, QWidget* parent = nullptr);

    RunHistoryView* history;
    QPushButton* cmdCerrar;
};

} // namespace brio
