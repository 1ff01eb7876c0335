#include "TaskListView.h"

#include "TaskListModel.h"

#include "Twips.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>

namespace brio {

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
    header()->setStretchLastSection(true); // the last column takes what the window gives
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

void TaskListView::FitColumnTo(int column, const QStringList& texts) {
    fits_.insert(column, texts);
    applyColumnFits();
}

void TaskListView::applyColumnFits() {
    // A cell's text has the focus frame's margin and one pixel on each side; the header its own padding.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    for (auto it = fits_.cbegin(); it != fits_.cend(); ++it) {
        int wanted = 0;
        for (const QString& text : it.value())
            wanted = std::max(wanted, fontMetrics().horizontalAdvance(text) + margin);
        wanted = std::max(wanted, header()->sectionSizeHint(it.key()));
        if (columnWidth(it.key()) < wanted)
            setColumnWidth(it.key(), wanted);
    }
}

void TaskListView::changeEvent(QEvent* event) {
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        applyColumnFits();
}

QPoint TaskListView::CurrentRowMenuPos() const {
    const int r = CurrentRow();
    if (r < 0)
        return viewport()->mapToGlobal(QPoint(0, 0));
    const QRect cell = visualRect(model_->index(r, 0));
    return viewport()->mapToGlobal(QPoint(cell.left() + cell.height(), cell.bottom()));
}

void TaskListView::keyPressEvent(QKeyEvent* event) {
    const bool shiftF10 =
        event->key() == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier;
    if (event->key() == Qt::Key_Menu || shiftF10) {
        event->accept();
        emit MenuKey();
        return;
    }
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && CurrentRow() >= 0) {
        event->accept();
        emit OpenRequested();
        return;
    }
    if (plain && event->key() == Qt::Key_Delete) {
        event->accept();
        emit DeleteRequested();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TaskListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid() && CurrentRow() == index.row())
        emit OpenRequested();
}

QString TaskListView::CellTip(const QModelIndex& index) const {
    if (!index.isValid() || !model_)
        return {};
    const QString own = model_->data(index, Qt::ToolTipRole).toString();
    const QString text = model_->data(index, Qt::DisplayRole).toString();
    const QRect cell = visualRect(index);
    // The text's room: the cell less its margins, and less the check box and icon on the first column.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    int room = cell.width() - margin;
    if (index.column() == TaskListModel::ColName)
        room -= iconSize().width() + style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this) + margin;
    if (text.isEmpty() || fontMetrics().horizontalAdvance(text) <= room)
        return own;
    return own.isEmpty() ? text : text + QLatin1Char('\n') + own;
}

bool TaskListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = CellTip(indexAt(help->pos()));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void TaskListView::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's menu opens on the right button's release; the keyboard's comes here on some platforms.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        event->accept();
        emit MenuKey();
        return;
    }
    event->ignore();
}

void TaskListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    emit MouseUp(event->button(), event->modifiers(), event->globalPosition().toPoint());
}

} // namespace brio
