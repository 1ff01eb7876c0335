// Enabling and disabling the selected task or the checked ones, in the current view.
#include "CommandError.h"
#include "CommandProgress.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "clsAdminTask.h"
#include "frmAdmin.h"

namespace brio {

void frmAdmin::SetTaskEnabled(const std::string& TaskName, bool blnEnabled) {
    std::unique_ptr<clsAdminTask> admin = NewAdminTask();
    const std::string value = blnEnabled ? "0" : "1";
    if (IsBrioView())
        admin->SetXMLAttr(TaskName, "disabled", value);
    else
        admin->SetTaskAttr(TaskName, "disabled", value);
}

void frmAdmin::SetCheckedTasksEnabled(bool blnEnabled) {
    if (model_->count() == 0)
        return;
    // One pass over the checked tasks, in list order: the list file is loaded and saved once, or one
    // scheduler object changes the tasks. The first failure ends the walk; the tasks changed before it
    // stay changed.
    RunReported(this, [&] {
        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        const std::string value = blnEnabled ? "0" : "1";
        const NameList names = GetCheckedTaskNames();
        CommandProgress progress(this,
                                 blnEnabled ? QStringLiteral("Habilitando tareas…")
                                            : QStringLiteral("Deshabilitando tareas…"),
                                 names.size());
        if (IsBrioView()) {
            std::vector<std::pair<std::string, std::string>> values;
            values.reserve(names.size());
            for (const std::string& name : names)
                values.emplace_back(name, value);
            progress.Run(
                [&](NameProgress* p) { admin->SetXMLAttrs(values, "disabled", MissingEntry::Skip, p); });
        } else {
            progress.Run([&](NameProgress* p) { admin->SetTaskAttrs(names, "disabled", value, p); });
        }
    });
}

void frmAdmin::EnableSelected(bool blnEnabled) {
    if (list_->CurrentRow() < 0)
        return;
    const std::string name = list_->CurrentText().toStdString();
    // A failure is reported and the list stays as it was.
    if (RunReported(this, [&] { SetTaskEnabled(name, blnEnabled); }))
        ReloadCurrentView();
}

void frmAdmin::EnableChecked(bool blnEnabled) {
    SetCheckedTasksEnabled(blnEnabled);
    ReloadCurrentView(); // also with nothing checked and after a reported failure
}

void frmAdmin::mnuPopupHabilitarSeleccionada_Click() {
    EnableSelected(true);
}

void frmAdmin::mnuPopupDeshabilitarSeleccionada_Click() {
    EnableSelected(false);
}

void frmAdmin::mnuPopupHabilitarTodas_Click() {
    EnableChecked(true);
}

void frmAdmin::mnuPopupDeshabilitarTodas_Click() {
    EnableChecked(false);
}

} // namespace brio
