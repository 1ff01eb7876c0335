#pragma once

#include "DateTime.h"
#include "SchedBridge.h"
#include "SecretString.h"
#include "clsTarea.h"

#include <QMainWindow>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QPushButton;

namespace brio {

class AdminMenus;
class AdminToolbar;
class ListColumns;
class RunFeedback;
class RunnerStatusLine;
class RunnerWatch;
class TaskIconCache;
class TaskListFiller;
class TaskListModel;
class TaskListView;
class TaskPopupMenu;
class TaskPropertiesEditor;
class clsAdminTask;

// The main window. It keeps no administration object: every refill and every command makes its own
// clsAdminTask from the program folder and the scheduler factory it was given.
class frmAdmin : public QMainWindow {
    Q_OBJECT
public:
    // The window reads the time of day from `clock`.
    frmAdmin(std::filesystem::path programFolder, SchedBridgeFactory scheduler, QWidget* parent = nullptr,
             const Clock& clock = HostClock());
    ~frmAdmin() override;

    // The start-up sequence; runs once, when the window is first shown.
    void Form_Load();

    // The list: cleared and refilled with one view (0 = the list file, other = the scheduler).
    void FillTaskList(const std::uint8_t& view);
    void mnuVerTareasBrio_Click();
    void mnuVerTareasSistema_Click();
    void mnuVerActualizar_Click();
    // True while the list-file view is shown (mnuVerTareasBrio checked).
    bool IsBrioView() const;

    // Marks and saved selections.
    void mnuSeleccionOP_Click(std::int16_t Index);
    void ToggleAllMarks();
    void SaveSelection();
    void LoadSelections();
    NameList GetCheckedTaskNames() const;

    // Prepares the context menu for the current row; false when no menu is to be shown (an empty list,
    // or rows without a current one).
    bool PreparePopup();
    void lvwTareas_MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint globalPos);
    // The Menu key or Shift+F10 in the list: the context menu of the current row, below it.
    void lvwTareas_MenuKey();
    void Toolbar1_ButtonClick(QAction* Button);
    void Form_KeyUp(int KeyCode, Qt::KeyboardModifiers Shift);
    void Form_Resize();
    void mnuSalir_Click();

    // Controls, by their names.
    AdminMenus& menus() const { return *menus_; }
    AdminToolbar* Toolbar1() const { return toolbar_; }
    TaskListView* lvwTareas() const { return list_; }
    TaskListModel* tasks() const { return model_; }
    TaskPopupMenu* mnuPopup() const { return popup_; }
    QWidget* pctBotones() const { return bottom_; }
    QPushButton* cmdCerrar() const { return close_; }
    // The runner's part of the window: its status line, its columns, its watch.
    RunnerStatusLine* lblEjecutor() const { return runnerLine_; }
    ListColumns& Columns() const { return *columns_; }
    RunnerWatch& Runner() const { return *runner_; }
    TaskIconCache& ImageList1() const { return *images_; }
    const std::filesystem::path& ProgramFolder() const { return programFolder_; }
    // The account entered through the account dialog; empty until one is accepted.
    const std::string& StoredUser() const { return storedUser_; }

    // The client area's design size in pixels (10050 x 7230 twips).
    static QSize DesignClientSize();

signals:
    // The window has closed: the program ends.
    void Unloaded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A new administration object for one refill or one command.
    std::unique_ptr<clsAdminTask> NewAdminTask();
    void SwitchView(std::uint8_t view);
    // Tells the person once about task files the scheduler could not read.
    void ShowSchedulerWarnings(const std::vector<std::string>& warnings);
    void Form_QueryUnload();
    void buildControls();
    void connectMenus();

    // Commands, one file for each kind: EnableCommands.cpp, DeleteCommands.cpp, ModifyCommands.cpp,
    // ExportImportCommands.cpp and RepairCommand.cpp; the steps they share in frmAdminCommands.cpp.
    void mnuPopupHabilitarSeleccionada_Click();
    void mnuPopupHabilitarTodas_Click();
    void mnuPopupDeshabilitarSeleccionada_Click();
    void mnuPopupDeshabilitarTodas_Click();
    void mnuPopupEliminarBrio_Click();
    void mnuPopupEliminarWindow_Click();
    // The Delete key: the marked rows, else the current one, from what the view shows, after the question.
    void lvwTareas_DeleteKey();
    void mnuPopupModificar_Click();
    void mnuTareasModificar_Click();
    void mnuTareasRangoTiempo_Click();
    void mnuTareasImportar_Click();
    void mnuTareasExportar_Click();
    void mnuTareasReparar_Click();
    void mnuTareasNueva_Click(); // NewTaskCommands.cpp
    // The runner's commands (RunCommands.cpp): start or end the current task now, and what they can act on.
    void mnuTareasEjecutar_Click();
    void mnuTareasFinalizar_Click();
    void mnuTareasHistorial_Click();
    void UpdateRunItems();
    void buildRunnerParts();
    void SetTaskEnabled(const std::string& TaskName, bool blnEnabled);
    void SetCheckedTasksEnabled(bool blnEnabled);
    void ImportCheckedTasks();
    void ExportCheckedTasks();
    // The flow both share: checked names, the question, the account, the work, the success message (with
    // a note when the work wrote to a store no runner works on).
    void TransferCheckedTasks(const QString& nothingChecked, const QString& question, const QString& success,
                              void (clsAdminTask::*work)(const NameList&, NameProgress*),
                              bool toStore = false);
    void GenerateLauncherTasks();
    void RepairTasks();
    void RequestAccount();
    // Shared steps of the commands.
    void EnableSelected(bool blnEnabled);
    void EnableChecked(bool blnEnabled);
    // Refills the current view; a failure is shown with the command error report.
    void ReloadCurrentView();

    std::filesystem::path programFolder_;
    SchedBridgeFactory scheduler_;
    const Clock& clock_;
    bool loaded_ = false;
    std::vector<std::string> shownWarnings_; // the scheduler's warnings last shown

    // The account entered once through the account dialog; empty until then.
    std::string storedUser_;
    SecretString storedPwd_; // wiped when the window goes

    AdminMenus* menus_ = nullptr;
    AdminToolbar* toolbar_ = nullptr;
    TaskListView* list_ = nullptr;
    TaskListModel* model_ = nullptr;
    TaskPopupMenu* popup_ = nullptr;
    QWidget* bottom_ = nullptr;
    QPushButton* close_ = nullptr;
    std::unique_ptr<TaskIconCache> images_;
    RunnerWatch* runner_ = nullptr;
    RunnerStatusLine* runnerLine_ = nullptr;
    RunFeedback* runFeedback_ = nullptr;
    ListColumns* columns_ = nullptr;
    std::unique_ptr<TaskListFiller> filler_;
    // The task property dialog the scheduler shows; registered for the window's life.
    std::unique_ptr<TaskPropertiesEditor> editor_;
};

} // namespace brio
