#include "TaskListView.h"

#include "TaskListModel.h"

#include "Twips.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace brio {

namespace {} // namespace

TaskListView::TaskListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps ten thousand rows cheap to lay out
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setSortingEnabled(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TaskListView::setTaskModel(TaskListModel* model) {
    model_ = model;
    setModel(model);
    for (int c = 0; c < TaskListModel::ColumnCount; ++c) {
        header()->setSectionResizeMode(c, QHeaderView::Interactive);
        setColumnWidth(c, TaskListModel::HeaderTwips(c) / kTwipsPerPixel);
    }
}

int TaskListView::CurrentRow() const {
    if (!model_ || !selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString TaskListView::CurrentText() const {
    const int r = CurrentRow();
    return r < 0 ? QString() : model_->row(r).name;
}

void TaskListView::SetCurrentRow(int row) {
    if (!model_ || !selectionModel())
        return;
    if (row < 0 || row >= model_->count()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex cell = model_->index(row, TaskListModel::ColName);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(cell);
}

void TaskListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    emit MouseUp(event->button(), event->modifiers(), event->globalPosition().toPoint());
}

} // namespace brio
