#pragma once

#include <QToolBar>

class QLabel;

namespace brio {

// Toolbar1: two image buttons told apart by their keys, and the panel Picture1 with the view title
// lblTituloTarea.
class AdminToolbar : public QToolBar {
    Q_OBJECT
public:
    static constexpr const char* kExportar = "Exportar";
    static constexpr const char* kHarbinex = "Harbinex";

    explicit AdminToolbar(QWidget* parent = nullptr);

    // The button with that key, or nullptr.
    QAction* Button(const QString& key) const;
    // The key of a button of this toolbar.
    static QString Key(const QAction* button);

    QWidget* Picture1;
    QLabel* lblTituloTarea;

signals:
    // A button was pressed.
    void ButtonClick(QAction* button);

private:
    QAction* addButton(const QString& key, const QString& image, const QString& toolTip);
};

} // namespace brio
