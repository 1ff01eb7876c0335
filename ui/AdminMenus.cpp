#include "AdminMenus.h"

#include "MenuItems.h"
#include "SelectionMenu.h"

#include <QMenu>
#include <QMenuBar>

namespace brio {

AdminMenus::AdminMenus(QMenuBar* bar) : QObject(bar) {
    mnuTareas = bar->addMenu(QStringLiteral("Tareas"));
    mnuTareas->setObjectName(QStringLiteral("mnuTareas"));
    mnuTareasNueva = NamedItem(mnuTareas, "mnuTareasNueva", QStringLiteral("Nueva tarea…"));
    mnuTareasCrear = NamedItem(mnuTareas, "mnuTareasCrear", QStringLiteral("&Crear"));
    mnuTareasCrear->setVisible(false);
    mnuTareasModificar = NamedItem(mnuTareas, "mnuTareasModificar", QStringLiteral("&Modificar"));
    mnuTareasEliminar = NamedItem(mnuTareas, "mnuTareasEliminar", QStringLiteral("Eliminar"));
    mnuTareasEliminar->setVisible(false);
    mnuTareasRangoTiempo =
        NamedItem(mnuTareas, "mnuTareasRangoTiempo", QStringLiteral("Es&tabler Rango Tiempo"));
    mnuTareasSep1 = NamedSeparator(mnuTareas, "mnuTareasSep1");
    mnuTareasExportar =
        NamedItem(mnuTareas, "mnuTareasExportar", QStringLiteral("&Exportar Tareas a Window"));
    mnuTareasImportar =
        NamedItem(mnuTareas, "mnuTareasImportar", QStringLiteral("&Importar Tareas desde Window"));
    mnuTareasSep2 = NamedSeparator(mnuTareas, "mnuTareasSep2");
    mnuTareasReparar = NamedItem(mnuTareas, "mnuTareasReparar", QStringLiteral("&Reperar"));
    mnuTareasSep3 = NamedSeparator(mnuTareas, "mnuTareasSep3");
    mnuTareasEjecutar = NamedItem(mnuTareas, "mnuTareasEjecutar", QStringLiteral("E&jecutar ahora"));
    mnuTareasFinalizar = NamedItem(mnuTareas, "mnuTareasFinalizar", QStringLiteral("&Finalizar tarea"));
    mnuTareasHistorial =
        NamedItem(mnuTareas, "mnuTareasHistorial", QStringLiteral("&Historial de ejecuciones"));

    mnuSeleccion = bar->addMenu(QStringLiteral("Seleción"));
    mnuSeleccion->setObjectName(QStringLiteral("mnuSeleccion"));
    mnuSeleccionOP = new SelectionMenu(mnuSeleccion);

    mnuVer = bar->addMenu(QStringLiteral("&Ver"));
    mnuVer->setObjectName(QStringLiteral("mnuVer"));
    mnuVerActualizar = NamedItem(mnuVer, "mnuVerActualizar", QStringLiteral("&Actualizar "));
    mnuVerActualizar->setShortcut(QKeySequence(Qt::Key_F5));
    mnuVerSep1 = NamedSeparator(mnuVer, "mnuVerSep1");
    mnuVerTareasBrio = NamedItem(mnuVer, "mnuVerTareasBrio", QStringLiteral("Tareas &Brio"));
    mnuVerTareasBrio->setCheckable(true);
    mnuVerTareasBrio->setChecked(true);
    mnuVerTareasSistema = NamedItem(mnuVer, "mnuVerTareasSistema", QStringLiteral("Tareas &Windows"));
    mnuVerTareasSistema->setCheckable(true);

    mnuSalir = bar->addAction(QStringLiteral("&Salir"));
    mnuSalir->setObjectName(QStringLiteral("mnuSalir"));
}

} // namespace brio
