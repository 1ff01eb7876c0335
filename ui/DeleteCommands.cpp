// Deleting the selected task from the list file, from the scheduler, or from both.
#include "AdminMenus.h"
#include "CommandError.h"
#include "CommandProgress.h"
#include "MsgBox.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "clsAdminTask.h"
#include "frmAdmin.h"

#include <QAction>

namespace brio {

namespace {
const QString kLineBreak = QStringLiteral("\r\n");
const QString kContinue = QStringLiteral("¿Desea Continuar?");

bool confirmed(QWidget* parent, const QString& question) {
    return MsgBox::show(parent, question + kLineBreak + kContinue, QStringLiteral("Confirmación"),
                        MsgIcon::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
} // namespace

void frmAdmin::mnuPopupEliminarBrio_Click() {
    if (model_->count() == 0 || list_->CurrentRow() < 0)
        return;
    const QString name = list_->CurrentText();
    if (!confirmed(this, QStringLiteral("La tarea [") + name +
                             QStringLiteral("] será eliminada del listado de tareas de brio.")))
        return;
    // Also after a failure the view is reloaded, so that it shows what was done.
    RunReported(this, [&] { NewAdminTask()->RemoveBrioTask(name.toStdString(), false); });
    RunReported(this, [&] { FillTaskList(0); });
}

void frmAdmin::mnuPopupEliminarWindow_Click() {
    if (model_->count() == 0 || list_->CurrentRow() < 0)
        return;
    const bool systemView = menus_->mnuVerTareasSistema->isChecked();
    const QString name = list_->CurrentText();
    QString question = QStringLiteral("La tarea [") + name + QStringLiteral("] será eliminada de WINDOWS");
    if (!systemView)
        question += QStringLiteral(" y  del listado de tareas de brio.");
    if (!confirmed(this, question))
        return;
    // The list entry may be gone although the scheduler then failed: the view is reloaded in any case.
    bool inStore = true;
    RunReported(this, [&] {
        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        if (systemView) {
            admin->RemoveSystemTask(name.toStdString());
            return;
        }
        // An entry never exported has nothing in the store to delete: that is no failure.
        inStore = admin->getSystemTaskIndex(name.toStdString()) >= 0;
        admin->RemoveBrioTask(name.toStdString(), inStore);
    });
    RunReported(this, [&] { FillTaskList(systemView ? 1 : 0); });
    if (!inStore)
        MsgBox::show(this,
                     QStringLiteral("La tarea [") + name +
                         QStringLiteral("] no estaba en las tareas de WINDOWS: se ha eliminado solo del "
                                        "listado de tareas de brio."),
                     QStringLiteral("Información"), MsgIcon::Information, QMessageBox::Ok);
}

void frmAdmin::lvwTareas_DeleteKey() {
    const NameList marked = GetCheckedTaskNames();
    if (marked.empty()) {
        // The current row, as the menu deletes it from the view shown: the list entry, or the system task.
        if (IsBrioView())
            mnuPopupEliminarBrio_Click();
        else
            mnuPopupEliminarWindow_Click();
        return;
    }
    const bool systemView = !IsBrioView();
    const QString count = QString::number(marked.size());
    const QString question =
        systemView
            ? QStringLiteral("Las ") + count + QStringLiteral(" tareas marcadas serán eliminadas de WINDOWS")
            : QStringLiteral("Las ") + count +
                  QStringLiteral(" tareas marcadas serán eliminadas del listado de tareas de brio.");
    if (!confirmed(this, question))
        return;
    RunReported(this, [&] {
        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        CommandProgress progress(this, QStringLiteral("Eliminando tareas…"), marked.size());
        progress.Run([&](NameProgress* p) {
            if (systemView)
                admin->RemoveSystemTasks(marked, p);
            else
                admin->RemoveBrioTasks(marked, false, MissingEntry::Skip, p);
        });
    });
    RunReported(this, [&] { FillTaskList(systemView ? 1 : 0); });
}

} // namespace brio
