#include "CommandError.h"

#include "MsgBox.h"
#include "SystemMessages.h"

#include <QApplication>

#include <filesystem>

namespace brio {

void ShowCommandError(QWidget* parent, const BrioError& error) {
    // A failing command never leaves the hourglass behind the report.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    MsgBox::show(parent, QString::fromStdString(error.report()), {}, MsgIcon::Critical, QMessageBox::Ok);
}

void ShowCommandError(QWidget* parent, const std::exception& error) {
    if (const auto* known = dynamic_cast<const BrioError*>(&error)) {
        ShowCommandError(parent, *known);
        return;
    }
    const bool fileSystem = dynamic_cast<const std::filesystem::filesystem_error*>(&error) != nullptr;
    ShowCommandError(parent,
                     BrioError(fileSystem ? err::PathFileAccess : err::InvalidCall, ExceptionText(error)));
}

} // namespace brio
