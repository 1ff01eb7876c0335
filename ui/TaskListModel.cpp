#include "TaskListModel.h"

#include "BrioError.h"
#include "TaskIconCache.h"

#include <algorithm>

namespace brio {

namespace {
constexpr int kColumnTwips[] = {3000, 1000, 600, 10000, 2700, 2700, 1800};
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
    case ColNext:
        return QStringLiteral("Próxima ejecución");
    case ColLast:
        return QStringLiteral("Última ejecución");
    case ColResult:
        return QStringLiteral("Resultado");
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
        case ColNext:
            return runCells(index.row()).next;
        case ColLast:
            return runCells(index.row()).last;
        case ColResult:
            return runCells(index.row()).result;
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
    runCells_.clear();
    endResetModel();
}

void TaskListModel::SetRunCellsSource(std::function<RunCells(const QString& name)> source) {
    runSource_ = std::move(source);
    ForgetRunCells();
}

void TaskListModel::ForgetRunCells() {
    runCells_.assign(rows_.size(), std::nullopt);
    if (count() > 0)
        emit dataChanged(index(0, ColNext), index(count() - 1, ColResult), {Qt::DisplayRole});
}

const RunCells& TaskListModel::runCells(int r) const {
    static const RunCells none;
    if (!runSource_ || r < 0 || r >= count())
        return none;
    if (runCells_.size() != rows_.size())
        runCells_.resize(rows_.size());
    std::optional<RunCells>& cells = runCells_[static_cast<std::size_t>(r)];
    if (!cells)
        cells = runSource_(row(r).name);
    return *cells;
}

void TaskListModel::sort(int column, Qt::SortOrder order) {
    if (column < ColNext || column > ColResult || count() < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> sorted(rows_.size());
    for (std::size_t i = 0; i < sorted.size(); ++i)
        sorted[i] = static_cast<int>(i);
    runCells_.resize(rows_.size());
    // A row without a value goes last in either order.
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
        const RunCells& x = runCells(a);
        const RunCells& y = runCells(b);
        bool noneX = false, noneY = false;
        int c = 0;
        if (column == ColResult) {
            noneX = x.result.isEmpty();
            noneY = y.result.isEmpty();
            c = QString::localeAwareCompare(x.result, y.result);
        } else {
            const qint64 kx = column == ColNext ? x.nextKey : x.lastKey;
            const qint64 ky = column == ColNext ? y.nextKey : y.lastKey;
            noneX = kx == 0;
            noneY = ky == 0;
            c = kx < ky ? -1 : kx > ky ? 1 : 0;
        }
        if (noneX != noneY)
            return noneY;
        if (noneX)
            return false;
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    std::vector<TaskRow> rows;
    std::vector<std::optional<RunCells>> cells;
    std::vector<int> newRow(rows_.size());
    rows.reserve(rows_.size());
    cells.reserve(rows_.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const auto old = static_cast<std::size_t>(sorted[i]);
        newRow[old] = static_cast<int>(i);
        rows.push_back(std::move(rows_[old]));
        cells.push_back(std::move(runCells_[old]));
    }
    rows_ = std::move(rows);
    runCells_ = std::move(cells);
    keys_.clear();
    for (int r = 0; r < count(); ++r)
        if (!rows_[static_cast<std::size_t>(r)].name.isEmpty())
            keys_.insert(rows_[static_cast<std::size_t>(r)].name, r);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to << index(newRow[static_cast<std::size_t>(i.row())], i.column());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
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
