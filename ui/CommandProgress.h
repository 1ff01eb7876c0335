#pragma once

#include "clsTarea.h"

#include <QProgressDialog>
#include <QString>

#include <cstddef>
#include <functional>

class QWidget;

namespace brio {

// A command over many tasks that lasts more than half a second shows how far it got, with "Cancelar":
// cancelling stops it at the next task and keeps what was done, as a failure part way does.
class CommandProgress {
public:
    CommandProgress(QWidget* parent, const QString& label, std::size_t total);
    CommandProgress(const CommandProgress&) = delete;
    CommandProgress& operator=(const CommandProgress&) = delete;

    // What the operation reports to; it stops when the person cancels.
    NameProgress* Progress() { return &progress_; }
    QProgressDialog& Dialog() { return dialog_; } // for tests

    // Runs `operation` with the progress; false when it was cancelled, after saying how far it got.
    bool Run(const std::function<void(NameProgress*)>& operation);

private:
    QWidget* parent_;
    std::size_t total_;
    QProgressDialog dialog_;
    NameProgress progress_;
};

} // namespace brio
