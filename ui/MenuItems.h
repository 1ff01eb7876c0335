#pragma once

#include <QAction>
#include <QMenu>

namespace brio {

// Menu items carry the design's control names as object names, so tests and handlers find them.
inline QAction* NamedItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

inline QAction* NamedSeparator(QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace brio
