#pragma once

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

signals:
    // A mouse button was released over the list: the button released and the modifiers held.
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPos);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TaskListModel* model_ = nullptr;
};

} // namespace brio
