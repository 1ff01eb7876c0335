#include "TaskListModel.h"

#include "BrioError.h"
#include "TaskIconCache.h"

#include <algorithm>

namespace brio {

namespace {
constexpr int kColumnTwips[] = {3000, 1000, 600, 10000};
} // namespace

TaskListModel::TaskListModel(const TaskIconCache* images, QObject* parent)
    : QAbstractTableModel(parent), images_(images) {}

int TaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int TaskListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString TaskListModel::HeaderText(int column) {
    switch (column) {
    case ColName:
        return QStringLiteral(" Tareas programadas en ejecucion ");
    case ColState:
        return QStringLiteral(" Estado");
    case ColRnd:
        return QStringLiteral(" Rnd ");
    case ColSchedule:
        return QStringLiteral(" Programación");
    default:
        return {};
    }
}

int TaskListModel::HeaderTwips(int column) {
    return column >= 0 && column < ColumnCount ? kColumnTwips[column] : 0;
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return HeaderText(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count())
        return {};
    const TaskRow& r = row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case ColName:
            return r.name;
        case ColState:
            return r.state;
        case ColRnd:
            return r.rnd;
        case ColSchedule:
            return r.schedule;
        }
        break;
    case Qt::CheckStateRole:
        if (index.column() == ColName)
            return r.checked ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::DecorationRole:
        if (index.column() == ColName && images_ && r.icon > 0)
            return images_->Image(r.icon);
        break;
    case Qt::ToolTipRole:
        if (const QString tip = tooltip_ ? tooltip_(index.row()) : QString(); !tip.isEmpty()) {
            const QString extra = tooltipExtra_ ? tooltipExtra_(r.name) : QString();
            return extra.isEmpty() ? tip : tip + QLatin1Char('\n') + extra;
        }
        break;
    }
    return {};
}

bool TaskListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != ColName || role != Qt::CheckStateRole || index.row() >= count())
        return false;
    SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TaskListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == ColName)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void TaskListModel::Clear() {
    beginResetModel();
    rows_.clear();
    keys_.clear();
    endResetModel();
}

void TaskListModel::AppendRows(std::vector<TaskRow> rows) {
    // Keys are checked first, so that the rows before a duplicate go in with one signal; the keys taken
    // until then are exactly those of the rows that go in.
    std::size_t accepted = 0;
    keys_.reserve(keys_.size() + static_cast<qsizetype>(rows.size()));
    for (; accepted < rows.size(); ++accepted) {
        const QString& key = rows[accepted].name;
        if (key.isEmpty())
            continue;
        if (keys_.contains(key))
            break;
        keys_.insert(key, count() + static_cast<int>(accepted));
    }
    if (accepted > 0) {
        // A reset is far cheaper for the view than an insertion when many rows arrive at once.
        const bool many = accepted > 64;
        if (many)
            beginResetModel();
        else
            beginInsertRows({}, count(), count() + static_cast<int>(accepted) - 1);
        rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()),
                     std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(accepted)));
        if (many)
            endResetModel();
        else
            endInsertRows();
    }
    if (accepted < rows.size())
        throw BrioError(err::KeyNotUnique,
                        "la tarea «" + rows[accepted].name.toStdString() + "» está repetida");
}

int TaskListModel::RowOfKey(const QString& key) const {
    return key.isEmpty() ? -1 : keys_.value(key, -1);
}

int TaskListModel::CheckedCount() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const TaskRow& r) { return r.checked; }));
}

void TaskListModel::SetChecked(int r, bool checked) {
    if (r < 0 || r >= count() || rows_[static_cast<std::size_t>(r)].checked == checked)
        return;
    rows_[static_cast<std::size_t>(r)].checked = checked;
    const QModelIndex cell = index(r, ColName);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

void TaskListModel::SetAllChecked(bool checked) {
    SetChecks(std::vector<bool>(rows_.size(), checked));
}

void TaskListModel::SetChecks(const std::vector<bool>& marks) {
    const std::size_t n = std::min(marks.size(), rows_.size());
    if (n == 0)
        return;
    for (std::size_t i = 0; i < n; ++i)
        rows_[i].checked = marks[i];
    emit dataChanged(index(0, ColName), index(static_cast<int>(n) - 1, ColName), {Qt::CheckStateRole});
}

} // namespace brio
