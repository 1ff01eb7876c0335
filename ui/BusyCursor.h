#pragma once

#include <QApplication>
#include <QCursor>

namespace brio {

// The hourglass pointer for the life of the object; the default pointer comes back when it ends,
// also when the work fails.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() {
        if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace brio
