// Modifying the selected task through the property dialog, and the random start range of the checked
// list entries.
#include "AdminMenus.h"
#include "BusyCursor.h"
#include "CommandError.h"
#include "Conversions.h"
#include "MsgBox.h"
#include "TaskListView.h"
#include "clsAdminTask.h"
#include "frmAdmin.h"

#include <QAction>

namespace brio {

void frmAdmin::mnuTareasModificar_Click() {
    RunReported(this, [&] {
        std::unique_ptr<clsAdminTask> admin = NewAdminTask();
        if (list_->CurrentRow() < 0)
            return;
        RequestAccount();
        if (storedUser_.empty())
            return;
        admin->setStrUser(storedUser_);
        admin->setStrPwd(storedPwd_.str());
        const std::string name = list_->CurrentText().toStdString();
        if (menus_->mnuVerTareasSistema->isChecked())
            admin->TaskSystemEdit(name);
        else
            admin->TaskBrioEdit(name, false); // the list entry only; the scheduler is not told
        FillTaskList(IsBrioView() ? 0 : 1);
    });
}

void frmAdmin::mnuTareasRangoTiempo_Click() {
    RunReported(this, [&] {
        const NameList names = GetCheckedTaskNames();
        if (IsArrayEmpty(names)) {
            MsgBox::show(this, QStringLiteral("Deben seleccionarse las tareas que se desean modificar."),
                         QStringLiteral("Información"), MsgIcon::Exclamation, QMessageBox::Ok);
            return;
        }
        const QString text = MsgBox::input(
            this, QStringLiteral("Entre la cantidad de minutos que desea variar las tareas seleccionadas."));
        if (text.isEmpty())
            return;
        // The leading number, to the nearest whole minute; beyond 16 bits is an overflow before any write.
        const std::int16_t minutes = CInt(Val(text.toStdString()));
        {
            BusyCursor busy;
            NewAdminTask()->XMLRandomTime(names, minutes);
        }
        MsgBox::show(this, QStringLiteral("Operacion realizada con exito."), QStringLiteral("Información"),
                     MsgIcon::Information, QMessageBox::Ok);
    });
}

} // namespace brio
