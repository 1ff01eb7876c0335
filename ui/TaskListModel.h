#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <functional>
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

// The rows of lvwTareas: four columns, a check box on the first, rows keyed by task name.
// Bulk changes reset the model or signal one range, so ten thousand rows change in one go.
class TaskListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColName, ColState, ColRnd, ColSchedule, ColumnCount };

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
    std::function<QString(int row)> tooltip_;
    std::function<QString(const QString& name)> tooltipExtra_;
    const TaskIconCache* images_;
    std::vector<TaskRow> rows_;
    QHash<QString, int> keys_;
};

} // namespace brio
