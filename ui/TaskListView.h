#pragma once

#include <QHash>
#include <QStringList>
#include <QTreeView>

namespace brio {

class TaskListModel;

// lvwTareas: a report-style list with check boxes and small icons. The current item is the selected row
// (at most one); a row can be current only while it is selected.
class TaskListView : public QTreeView {
    Q_OBJECT
public:
    explicit TaskListView(QWidget* parent = nullptr);

    void setTaskModel(TaskListModel* model);
    TaskListModel* taskModel() const { return model_; }

    // The current row, or -1 when there is none.
    int CurrentRow() const;
    // The current row's text (its key), or empty text when there is none.
    QString CurrentText() const;
    // Makes a row current (selected); -1 clears the current row.
    void SetCurrentRow(int row);
    // Keeps `column` at least as wide as the widest of `texts` in the list's font, now and after a font
    // change.
    void FitColumnTo(int column, const QStringList& texts);
    // Where a context menu opened from the keyboard appears: below the current row's text, on the screen.
    QPoint CurrentRowMenuPos() const;
    // The tooltip of a cell: its whole text when the column shows it cut, then the row's own tooltip.
    QString CellTip(const QModelIndex& index) const;

signals:
    // A mouse button was released over the list: the button released and the modifiers held.
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPos);
    // The context menu was asked for from the keyboard (the Menu key or Shift+F10).
    void MenuKey();
    // Enter or a double click on a row: the row's properties are asked for.
    void OpenRequested();
    // The Delete key: the marked or current rows are to be deleted.
    void DeleteRequested();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void applyColumnFits();

    TaskListModel* model_ = nullptr;
    QHash<int, QStringList> fits_;
};

} // namespace brio
