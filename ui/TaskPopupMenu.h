#pragma once

#include <QMenu>

namespace brio {

// mnuPopup, the context menu of the task list. Four captions carry the name of the task it acts on and
// are rewritten before each showing.
class TaskPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit TaskPopupMenu(QWidget* parent = nullptr);

    // Rewrites the captions for the task `T` and shows or hides the items of the view.
    void Prepare(const QString& T, bool brioView);

    QAction* mnuPopupHabilitar;
    QAction* mnuPopupHabilitarSeleccionada;
    QAction* mnuPopupHabilitarTodas;
    QAction* mnuPopupDeshabilitar;
    QAction* mnuPopupDeshabilitarSeleccionada;
    QAction* mnuPopupDeshabilitarTodas;
    QAction* mnuPopupEliminar;
    QAction* mnuPopupEliminarBrio;
    QAction* mnuPopupEliminarWindow;
    QAction* mnuPopupModificar;
    QAction* mnuPopupNuevaTarea; // in the system view only
    QAction* mnuPopupEjecutar;   // the runner starts the task now
    QAction* mnuPopupFinalizar;  // the runner ends the task's run
    QAction* mnuPopupHistorial;  // the task's last runs and their output
    QAction* mnuPopupSp1;
    QAction* mnuPopupCancelar;
};

} // namespace brio
