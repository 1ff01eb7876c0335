#include "AdminToolbar.h"

#include "Twips.h"

#include <QAction>
#include <QFont>
#include <QLabel>

namespace brio {

AdminToolbar::AdminToolbar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("Toolbar1"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(24, 24));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    addButton(QLatin1String(kExportar), QStringLiteral(":/images/toolbar-export.png"),
              QStringLiteral("Exportar Tareas a Window"));
    addButton(QLatin1String(kHarbinex), QStringLiteral(":/images/toolbar-clock.png"),
              QStringLiteral("Generar Tareas harBinex"));
    connect(this, &QToolBar::actionTriggered, this, &AdminToolbar::ButtonClick);

    // The title panel sits at its design place on the toolbar, outside the toolbar's own layout.
    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwipsRect(6270, 105, 3360, 330));
    lblTituloTarea = new QLabel(QStringLiteral("Tareas Programadas BRIO"), Picture1);
    lblTituloTarea->setObjectName(QStringLiteral("lblTituloTarea"));
    lblTituloTarea->setGeometry(TwipsRect(30, 30, 3285, 195));
    QFont bold = lblTituloTarea->font();
    bold.setPointSizeF(8.25);
    bold.setBold(true);
    lblTituloTarea->setFont(bold);
}

QAction* AdminToolbar::addButton(const QString& key, const QString& image, const QString& toolTip) {
    QAction* button = addAction(QIcon(image), toolTip);
    button->setObjectName(key);
    button->setData(key);
    button->setToolTip(toolTip);
    return button;
}

QAction* AdminToolbar::Button(const QString& key) const {
    for (QAction* a : actions()) {
        if (Key(a) == key)
            return a;
    }
    return nullptr;
}

QString AdminToolbar::Key(const QAction* button) {
    return button ? button->data().toString() : QString();
}

} // namespace brio
