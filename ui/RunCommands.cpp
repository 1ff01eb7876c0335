// The runner in the window: its status line, its columns, and "Ejecutar ahora" and "Finalizar tarea" for
// the current task.
#include "AdminMenus.h"
#include "ListColumns.h"
#include "RunFeedback.h"
#include "RunHistoryDialog.h"
#include "RunnerLink.h"
#include "RunnerStatusLine.h"
#include "RunnerWatch.h"
#include "TaskListFiller.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "TaskPopupMenu.h"
#include "frmAdmin.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>

namespace brio {

void frmAdmin::buildRunnerParts() {
    runner_ = new RunnerWatch(RunnerStateFolder(), this);
    runnerLine_ = new RunnerStatusLine(runner_, statusBar());
    statusBar()->addPermanentWidget(runnerLine_, 1);
    statusBar()->setObjectName(QStringLiteral("stbEstado"));
    runFeedback_ = new RunFeedback(runner_, statusBar(), this);
    columns_ = new ListColumns(list_);
    filler_->SetRunnerRunning(runner_->Pid().has_value());
    // The runner's columns and tooltips follow what it records, and whether it runs, without a refresh.
    connect(runner_, &RunnerWatch::RunnerChanged, this,
            [this] { filler_->SetRunnerRunning(runner_->Pid().has_value()); });
    connect(runner_, &RunnerWatch::StatesChanged, this, [this] {
        model_->ForgetRunCells();
        columns_->Resort();
    });
    connect(menus_->mnuTareas, &QMenu::aboutToShow, this, [this] { UpdateRunItems(); });
    connect(menus_->mnuTareasEjecutar, &QAction::triggered, this, [this] { mnuTareasEjecutar_Click(); });
    connect(popup_->mnuPopupEjecutar, &QAction::triggered, this, [this] { mnuTareasEjecutar_Click(); });
    connect(menus_->mnuTareasFinalizar, &QAction::triggered, this, [this] { mnuTareasFinalizar_Click(); });
    connect(popup_->mnuPopupFinalizar, &QAction::triggered, this, [this] { mnuTareasFinalizar_Click(); });
    connect(menus_->mnuTareasHistorial, &QAction::triggered, this, [this] { mnuTareasHistorial_Click(); });
    connect(popup_->mnuPopupHistorial, &QAction::triggered, this, [this] { mnuTareasHistorial_Click(); });
}

void frmAdmin::UpdateRunItems() {
    bool canRun = false;
    bool canEnd = false;
    bool stored = false;
    if (list_->CurrentRow() >= 0) {
        const std::string name = list_->CurrentText().toStdString();
        // Only a task of the store runs; a list entry never exported has nothing to start.
        try {
            std::unique_ptr<SchedBridge> store = scheduler_ ? scheduler_() : nullptr;
            stored = store && store->Find(name) != nullptr;
        } catch (const std::exception&) {
        }
        canRun = stored && runFeedback_->CanRun(name);
        canEnd = stored && runFeedback_->CanEnd(name);
    }
    menus_->mnuTareasEjecutar->setEnabled(canRun);
    popup_->mnuPopupEjecutar->setEnabled(canRun);
    menus_->mnuTareasFinalizar->setEnabled(canEnd);
    popup_->mnuPopupFinalizar->setEnabled(canEnd);
    menus_->mnuTareasHistorial->setEnabled(stored);
    popup_->mnuPopupHistorial->setEnabled(stored);
}

void frmAdmin::mnuTareasHistorial_Click() {
    if (list_->CurrentRow() < 0)
        return;
    RunHistoryDialog dialog(list_->CurrentText().toStdString(), this);
    dialog.exec();
}

void frmAdmin::mnuTareasEjecutar_Click() {
    if (list_->CurrentRow() < 0)
        return;
    runFeedback_->Run(list_->CurrentText().toStdString());
}

void frmAdmin::mnuTareasFinalizar_Click() {
    if (list_->CurrentRow() < 0)
        return;
    runFeedback_->End(list_->CurrentText().toStdString());
}

} // namespace brio
