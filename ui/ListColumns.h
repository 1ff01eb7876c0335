#pragma once

#include <QObject>
#include <QSet>

class QMenu;
class QPoint;

namespace brio {

class TaskListView;

// The columns of the task list: the runner's columns in the system view only, the ones a person hid
// through the header's context menu (remembered between runs), and the sort by a runner's column when
// its header is clicked.
class ListColumns : public QObject {
    Q_OBJECT
public:
    explicit ListColumns(TaskListView* list);

    // Shows the columns of a view: the list file's four, or the system view's seven.
    void ShowView(bool systemView);
    // Hides or shows a column and remembers it.
    void SetHidden(int column, bool hidden);
    bool IsHidden(int column) const { return hidden_.contains(column); }
    // The header's context menu: one checkable item per column of the view shown.
    QMenu* HeaderMenu();
    // After a refill: sorts again by the column last clicked, and in the system view keeps the schedule
    // column no wider than its texts, so that the runner's columns are in sight.
    void Refilled();

    // Sorts again by the column last clicked (the runner recorded something).
    void Resort();

private:
    void apply();
    void headerClicked(int section);

    TaskListView* list_;
    QSet<int> hidden_;
    bool system_ = false;
    int sortColumn_ = -1;
    Qt::SortOrder order_ = Qt::AscendingOrder;
    QMenu* menu_ = nullptr;
};

} // namespace brio
