#include "CommandProgress.h"

#include "MsgBox.h"

namespace brio {

CommandProgress::CommandProgress(QWidget* parent, const QString& label, std::size_t total)
    : parent_(parent), total_(total),
      dialog_(label, QStringLiteral("Cancelar"), 0, static_cast<int>(total), parent) {
    dialog_.setObjectName(QStringLiteral("dlgProgreso"));
    dialog_.setWindowTitle(QStringLiteral("Tareas Programadas de Brio"));
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(500);
    dialog_.setAutoReset(false);
    dialog_.setValue(0);
    progress_.step = [this](std::size_t done, std::size_t) {
        dialog_.setValue(static_cast<int>(done)); // lets the dialog appear and take the click
        return !dialog_.wasCanceled();
    };
}

bool CommandProgress::Run(const std::function<void(NameProgress*)>& operation) {
    try {
        operation(&progress_);
    } catch (const OperationCancelled&) {
        dialog_.reset();
        MsgBox::show(parent_,
                     QStringLiteral("Se canceló la operación: se trataron ") +
                         QString::number(progress_.done) + QStringLiteral(" de ") + QString::number(total_) +
                         QStringLiteral(" tareas, que quedan como se dejaron."),
                     QStringLiteral("Información"), MsgIcon::Information, QMessageBox::Ok);
        return false;
    }
    dialog_.reset();
    return true;
}

} // namespace brio
