// The commands of the main window: enable and disable, delete, import, export and generate, modify and
// time range, repair, and the account they ask for. Each is reached from a menu item, the context menu or
// the toolbar; their work is still to be written.
#include "frmAdmin.h"

namespace brio {

void frmAdmin::mnuPopupHabilitarSeleccionada_Click() {}
void frmAdmin::mnuPopupHabilitarTodas_Click() {}
void frmAdmin::mnuPopupDeshabilitarSeleccionada_Click() {}
void frmAdmin::mnuPopupDeshabilitarTodas_Click() {}
void frmAdmin::mnuPopupEliminarBrio_Click() {}
void frmAdmin::mnuPopupEliminarWindow_Click() {}
void frmAdmin::mnuTareasModificar_Click() {}
void frmAdmin::mnuTareasRangoTiempo_Click() {}
void frmAdmin::SetTaskEnabled(const std::string& /*TaskName*/, bool /*blnEnabled*/) {}
void frmAdmin::SetCheckedTasksEnabled(bool /*blnEnabled*/) {}
void frmAdmin::ImportCheckedTasks() {}
void frmAdmin::ExportCheckedTasks() {}
void frmAdmin::GenerateLauncherTasks() {}
void frmAdmin::RepairTasks() {}
void frmAdmin::RequestAccount() {}

} // namespace brio
