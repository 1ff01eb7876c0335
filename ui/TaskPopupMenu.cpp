#include "TaskPopupMenu.h"

#include "MenuItems.h"

namespace brio {

namespace {
QMenu* submenu(QMenu* menu, const char* name, const QString& caption, QAction*& owner) {
    QMenu* sub = menu->addMenu(caption);
    owner = sub->menuAction();
    owner->setObjectName(QLatin1String(name));
    return sub;
}
} // namespace

TaskPopupMenu::TaskPopupMenu(QWidget* parent) : QMenu(QStringLiteral("Popup"), parent) {
    setObjectName(QStringLiteral("mnuPopup"));
    QMenu* enable = submenu(this, "mnuPopupHabilitar", QStringLiteral("&Habilitar"), mnuPopupHabilitar);
    mnuPopupHabilitarSeleccionada =
        NamedItem(enable, "mnuPopupHabilitarSeleccionada", QStringLiteral("(vacio)"));
    mnuPopupHabilitarTodas =
        NamedItem(enable, "mnuPopupHabilitarTodas", QStringLiteral("Todas las Marcadas"));
    QMenu* disable =
        submenu(this, "mnuPopupDeshabilitar", QStringLiteral("&Deshabilitar"), mnuPopupDeshabilitar);
    mnuPopupDeshabilitarSeleccionada =
        NamedItem(disable, "mnuPopupDeshabilitarSeleccionada", QStringLiteral("(vacio)"));
    mnuPopupDeshabilitarTodas =
        NamedItem(disable, "mnuPopupDeshabilitarTodas", QStringLiteral("Todas las Marcadas"));
    QMenu* remove = submenu(this, "mnuPopupEliminar", QStringLiteral("&Eliminar"), mnuPopupEliminar);
    mnuPopupEliminarBrio = NamedItem(remove, "mnuPopupEliminarBrio", QStringLiteral("Solo de Brio"));
    mnuPopupEliminarWindow =
        NamedItem(remove, "mnuPopupEliminarWindow", QStringLiteral("De Brio y de Window"));
    mnuPopupModificar = NamedItem(this, "mnuPopupModificar", QStringLiteral("&Modificar"));
    mnuPopupNuevaTarea = NamedItem(this, "mnuPopupNuevaTarea", QStringLiteral("Nueva tarea…"));
    mnuPopupEjecutar = NamedItem(this, "mnuPopupEjecutar", QStringLiteral("E&jecutar ahora"));
    mnuPopupFinalizar = NamedItem(this, "mnuPopupFinalizar", QStringLiteral("&Finalizar tarea"));
    mnuPopupHistorial = NamedItem(this, "mnuPopupHistorial", QStringLiteral("Histo&rial de ejecuciones"));
    mnuPopupSp1 = addSeparator();
    mnuPopupSp1->setObjectName(QStringLiteral("mnuPopupSp1"));
    mnuPopupCancelar = NamedItem(this, "mnuPopupCancelar", QStringLiteral("&Cancelar"));
}

void TaskPopupMenu::Prepare(const QString& T, bool brioView) {
    mnuPopupHabilitarSeleccionada->setText(QStringLiteral("Habilitar [") + T + QStringLiteral("]"));
    mnuPopupDeshabilitarSeleccionada->setText(QStringLiteral("Deshabilitar [") + T + QStringLiteral("]"));
    mnuPopupNuevaTarea->setVisible(!brioView);
    if (brioView) {
        mnuPopupEliminarBrio->setVisible(true);
        mnuPopupEliminarBrio->setText(QStringLiteral("Eliminar [") + T +
                                      QStringLiteral("] de las tareas de BRIO"));
        // The closing brace is the caption as the administrators know it.
        mnuPopupEliminarWindow->setText(QStringLiteral("Eliminar [") + T +
                                        QStringLiteral("} de WINDOWS y de las tareas de BRIO"));
    } else {
        mnuPopupEliminarBrio->setVisible(false);
        mnuPopupEliminarWindow->setText(QStringLiteral("Eliminar [") + T + QStringLiteral("] de WINDOWS"));
    }
}

} // namespace brio
