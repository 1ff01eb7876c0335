#pragma once

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;

namespace brio {

class SelectionMenu;

// The menu bar of the main window, item by item under the names the handlers use.
class AdminMenus : public QObject {
    Q_OBJECT
public:
    explicit AdminMenus(QMenuBar* bar);

    QMenu* mnuTareas;
    QAction* mnuTareasNueva; // "Nueva tarea…", in the system view only
    QAction* mnuTareasCrear;
    QAction* mnuTareasModificar;
    QAction* mnuTareasEliminar;
    QAction* mnuTareasRangoTiempo;
    QAction* mnuTareasSep1;
    QAction* mnuTareasExportar;
    QAction* mnuTareasImportar;
    QAction* mnuTareasSep2;
    QAction* mnuTareasReparar;
    QAction* mnuTareasSep3;
    QAction* mnuTareasEjecutar;  // the runner starts the current task now
    QAction* mnuTareasFinalizar; // the runner ends the current task's run
    QAction* mnuTareasHistorial; // the current task's last runs and their output

    QMenu* mnuSeleccion;
    SelectionMenu* mnuSeleccionOP;

    QMenu* mnuVer;
    QAction* mnuVerActualizar;
    QAction* mnuVerSep1;
    QAction* mnuVerTareasBrio;
    QAction* mnuVerTareasSistema;

    QAction* mnuSalir;
};

} // namespace brio
