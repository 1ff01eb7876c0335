// "Nueva tarea…": a task made in the window and stored in the scheduler.
#include "BusyCursor.h"
#include "CommandError.h"
#include "DraftTask.h"
#include "NewTaskDialog.h"
#include "frmAdmin.h"

namespace brio {

void frmAdmin::mnuTareasNueva_Click() {
    RunReported(this, [&] {
        DraftTask draft(scheduler_);
        NewTaskDialog dialog(
            draft, scheduler_, HostPaths::FromEnvironment(),
            [this]() -> std::optional<Account> {
                RequestAccount();
                if (storedUser_.empty())
                    return std::nullopt;
                return Account{storedUser_, storedPwd_};
            },
            this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        {
            BusyCursor busy;
            draft.Save(0);
        }
        ReloadCurrentView();
    });
}

} // namespace brio
