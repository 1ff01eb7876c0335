#include "CommandError.h"

#include "MsgBox.h"
#include "SystemMessages.h"

#include <QApplication>

namespace brio {

void ShowCommandError(QWidget* parent, const BrioError& error) {
    // A failing command never leaves the hourglass behind the report.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    MsgBox::show(parent, QString::fromStdString(error.report()), {}, MsgIcon::Critical, QMessageBox::Ok);
}

void ShowCommandError(QWidget* parent, const std::exception& error) {
    ShowCommandError(parent, AsBrioError(error));
}

} // namespace brio
