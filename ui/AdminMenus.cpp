#include "AdminMenus.h"

#include "SelectionMenu.h"

#include <QMenu>
#include <QMenuBar>

namespace brio {

namespace {
QAction* item(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QAction* separator(QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    return action;
}
} // namespace

AdminMenus::AdminMenus(QMenuBar* bar) : QObject(bar) {
    mnuTareas = bar->addMenu(QStringLiteral("Tareas"));
    mnuTareas->setObjectName(QStringLiteral("mnuTareas"));
    mnuTareasCrear = item(mnuTareas, "mnuTareasCrear", QStringLiteral("&Crear"));
    mnuTareasCrear->setVisible(false);
    mnuTareasModificar = item(mnuTareas, "mnuTareasModificar", QStringLiteral("&Modificar"));
    mnuTareasEliminar = item(mnuTareas, "mnuTareasEliminar", QStringLiteral("Eliminar"));
    mnuTareasEliminar->setVisible(false);
    mnuTareasRangoTiempo = item(mnuTareas, "mnuTareasRangoTiempo", QStringLiteral("Es&tabler Rango Tiempo"));
    mnuTareasSep1 = separator(mnuTareas, "mnuTareasSep1");
    mnuTareasExportar = item(mnuTareas, "mnuTareasExportar", QStringLiteral("&Exportar Tareas a Window"));
    mnuTareasImportar = item(mnuTareas, "mnuTareasImportar", QStringLiteral("&Importar Tareas desde Window"));
    mnuTareasSep2 = separator(mnuTareas, "mnuTareasSep2");
    mnuTareasReparar = item(mnuTareas, "mnuTareasReparar", QStringLiteral("&Reperar"));

    mnuSeleccion = bar->addMenu(QStringLiteral("Seleción"));
    mnuSeleccion->setObjectName(QStringLiteral("mnuSeleccion"));
    mnuSeleccionOP = new SelectionMenu(mnuSeleccion);

    mnuVer = bar->addMenu(QStringLiteral("&Ver"));
    mnuVer->setObjectName(QStringLiteral("mnuVer"));
    mnuVerActualizar = item(mnuVer, "mnuVerActualizar", QStringLiteral("&Actualizar "));
    mnuVerActualizar->setShortcut(QKeySequence(Qt::Key_F5));
    mnuVerSep1 = separator(mnuVer, "mnuVerSep1");
    mnuVerTareasBrio = item(mnuVer, "mnuVerTareasBrio", QStringLiteral("Tareas &Brio"));
    mnuVerTareasBrio->setCheckable(true);
    mnuVerTareasBrio->setChecked(true);
    mnuVerTareasSistema = item(mnuVer, "mnuVerTareasSistema", QStringLiteral("Tareas &Windows"));
    mnuVerTareasSistema->setCheckable(true);

    mnuSalir = bar->addAction(QStringLiteral("&Salir"));
    mnuSalir->setObjectName(QStringLiteral("mnuSalir"));
}

} // namespace brio
