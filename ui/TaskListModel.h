#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace brio {

class TaskIconCache;

// One row of the task list.
struct TaskRow {
    QString name; // the row's key and the text of the first column
    int icon = 0; // index in the image list; 0 = no image
    bool checked = false;
    QString state;    // " Estado"
    QString rnd;      // " Rnd "
    QString schedule; // " Programación"
};

// The runner's columns of one row of the system view, with the values they sort by.
struct RunCells {
    QString next;       // "Próxima ejecución"
    QString last;       // "Última ejecución"
    QString result;     // "Resultado"
    qint64 nextKey = 0; // seconds since the epoch; 0 when there is none
    qint64 lastKey = 0;
};

// The rows of lvwTareas: four columns, a check box on the first, rows keyed by task name.
// Bulk changes reset the model or signal one range, so ten thousand rows change in one go.
class TaskListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColName, ColState, ColRnd, ColSchedule, ColNext, ColLast, ColResult, ColumnCount };
    // The four columns both views show; the runner's columns follow them in the system view only.
    static constexpr int kDescribedColumns = 4;

    explicit TaskListModel(const TaskIconCache* images, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The header text and the width in twips of each column.
    static QString HeaderText(int column);
    static int HeaderTwips(int column);

    // The runner's columns of a row, asked for by name only when shown or sorted, then kept until
    // ForgetRunCells; none: the columns stay empty.
    void SetRunCellsSource(std::function<RunCells(const QString& name)> source);
    // The runner recorded something: the columns are asked for again.
    void ForgetRunCells();
    // Sorts the rows by one of the runner's columns; the other columns keep the list's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Removes every row.
    void Clear();
    // Appends the rows in order. A name already listed is error 35602: the rows before it stay listed.
    // An empty name carries no key and is never a duplicate.
    void AppendRows(std::vector<TaskRow> rows);

    int count() const { return static_cast<int>(rows_.size()); }
    const TaskRow& row(int r) const { return rows_[static_cast<std::size_t>(r)]; }
    // The row with that key, or -1.
    int RowOfKey(const QString& key) const;

    bool IsChecked(int r) const { return row(r).checked; }
    int CheckedCount() const;
    void SetChecked(int r, bool checked);
    void SetAllChecked(bool checked);
    // Sets the marks of the first marks.size() rows.
    void SetChecks(const std::vector<bool>& marks);

    // The tooltip of a row (the system view's next start), made only when it is shown; empty text: none.
    void SetTooltipSource(std::function<QString(int row)> tooltip) { tooltip_ = std::move(tooltip); }
    // A line added to the rows that have a tooltip, asked for by name only when a tooltip is shown (the
    // runner's last run); an empty line adds nothing.
    void SetTooltipExtra(std::function<QString(const QString& name)> extra) {
        tooltipExtra_ = std::move(extra);
    }

private:
    const RunCells& runCells(int r) const;

    std::function<RunCells(const QString& name)> runSource_;
    mutable std::vector<std::optional<RunCells>> runCells_; // by row, filled when first asked for
    std::function<QString(int row)> tooltip_;
    std::function<QString(const QString& name)> tooltipExtra_;
    const TaskIconCache* images_;
    std::vector<TaskRow> rows_;
    QHash<QString, int> keys_;
};

} // namespace brio
