#pragma once

#include "DateTime.h"
#include "SchedBridge.h"

#include <QDialog>

#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QTabWidget;

namespace brio {

class NextRunsPreview;
class RunHistoryView;
class TriggerEditor;

// The task property dialog: program, arguments, working folder, enabled, the user the task runs as,
// its triggers and its flags. Aceptar checks every value and writes them into the task; Cancelar
// leaves the task as it was.
class TaskPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // With `standIn`, the task is the stand-in of a list entry: the dialog shows the entry's name and
    // enabled state, leaves the task's disabled bit alone and keeps the state chosen in ChosenEnabled().
    TaskPropertiesDialog(SchedTask& task, QWidget* parent = nullptr, const TaskStandIn* standIn = nullptr,
                         const Clock& clock = HostClock());

    // Controls, by their names.
    QTabWidget* tabs;
    QLineEdit* txtPrograma;
    QLineEdit* txtArgumentos;
    QLineEdit* txtIniciarEn;
    QLineEdit* txtUsuario;
    QCheckBox* chkHabilitada;
    QListWidget* lstProgramaciones;
    QPushButton* cmdNuevaProgramacion;
    QPushButton* cmdEliminarProgramacion;
    QLabel* lblProgramacion; // the readable text of the trigger being edited
    TriggerEditor* triggerEditor;
    QScrollArea* scrTrigger;   // holds the trigger editor; scrolls on a low screen
    NextRunsPreview* nextRuns; // "Próximas ejecuciones" of the task as edited
    // The task flags other than hidden and disabled, with their bits.
    std::vector<std::pair<std::int32_t, QCheckBox*>> chkFlags;
    QPushButton* cmdAceptar;
    QPushButton* cmdCancelar;
    // The runner's last run of the task and "Ejecutar ahora"; none for the stand-in of a list entry.
    QLabel* lblUltimaEjecucion = nullptr;
    QPushButton* cmdEjecutarAhora = nullptr;
    RunHistoryView* historyView = nullptr; // the "Historial" tab; for a list entry only when its task ran

    // The state of "Habilitada" when Aceptar was pressed.
    bool ChosenEnabled() const noexcept { return chosenEnabled_; }

    // The triggers as edited so far.
    const std::vector<SchedTrigger>& Triggers() const noexcept { return triggers_; }

    void cmdAceptar_Click();
    // Asks the running runner to start the stored task now; a failure is shown as a command error.
    void cmdEjecutarAhora_Click();
    void AddTrigger();
    void RemoveTrigger();

private:
    QWidget* buildTaskPage();
    QWidget* buildSchedulePage();
    QWidget* buildSettingsPage();
    QWidget* buildRunRow(QWidget* page);
    void selectTrigger(int index);
    void triggerEdited();
    void refreshTriggerList();
    // The next starts of the task as the dialog shows it now: its triggers and the Habilitada box.
    void showNextRuns();
    void refuse(const QString& text, QWidget* focus);
    // Sizes the dialog once: room for every trigger type, never beyond the screen's available height.
    void fitToContent();

    SchedTask& task_;
    const Clock& clock_;
    bool standIn_ = false;
    bool chosenEnabled_ = true;
    std::vector<SchedTrigger> triggers_;
    int current_ = -1;
};

// The scheduler's task editor: the property dialog, modal to the window that owns it.
class TaskPropertiesEditor : public TaskEditor {
public:
    explicit TaskPropertiesEditor(QWidget* window, const Clock& clock = HostClock())
        : window_(window), clock_(clock) {}
    bool Edit(SchedTask& task, QObject* owner) override;
    bool EditStandIn(SchedTask& task, QObject* owner, TaskStandIn& standIn) override;

private:
    QWidget* window_;
    const Clock& clock_;
};

} // namespace brio
