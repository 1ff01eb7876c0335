// The repair: the first S key folder of the account's profile and of "All Users" removed, then the
// account applied to every scheduler task.
#include "BusyCursor.h"
#include "CommandError.h"
#include "KeyFolderCleaner.h"
#include "MsgBox.h"
#include "clsAdminTask.h"
#include "frmAdmin.h"

#include <optional>

namespace brio {

void frmAdmin::RepairTasks() {
    std::optional<BusyCursor> busy;
    RunReported(this, [&] {
        RequestAccount();
        if (storedUser_.empty())
            return;
        // The user name becomes a folder name: one that could lead elsewhere is refused before any file
        // is touched.
        KeyFolderCleaner::CheckProfileName(storedUser_);
        const KeyFolderCleaner cleaner(
            HostPaths::FromEnvironment(),
            [this](const BrioError& e) {
                switch (MsgBox::show(this, QString::fromStdString(e.report()), {}, MsgIcon::Critical,
                                     QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore)) {
                case QMessageBox::Retry:
                    return StepChoice::Retry;
                case QMessageBox::Ignore:
                    return StepChoice::Ignore;
                default:
                    return StepChoice::Abort;
                }
            },
            [&busy] {
                if (!busy)
                    busy.emplace();
            });
        cleaner.Clear(storedUser_);
        cleaner.Clear("All Users");

        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        admin->setStrUser(storedUser_);
        admin->setStrPwd(storedPwd_.str());
        admin->SetPasswordAllTask();
        admin.reset();
        busy.reset();
        MsgBox::show(this, QStringLiteral("Las tareas fueron reparadas con exito."), {}, MsgIcon::Information,
                     QMessageBox::Ok);
    });
}

} // namespace brio
