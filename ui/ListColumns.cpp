#include "ListColumns.h"

#include "TaskListModel.h"
#include "TaskListView.h"

#include "Twips.h"

#include <QHeaderView>
#include <QMenu>
#include <QSettings>

namespace brio {

namespace {
const QString kHiddenKey = QStringLiteral("lista/columnasOcultas");

const QString kOrganization = QStringLiteral("brioschedule");
} // namespace

ListColumns::ListColumns(TaskListView* list) : QObject(list), list_(list) {
    const QSettings saved(QSettings::UserScope, kOrganization, kOrganization);
    for (const QVariant& column : saved.value(kHiddenKey).toList())
        if (const int c = column.toInt(); c >= 0 && c < TaskListModel::ColumnCount)
            hidden_.insert(c);
    QHeaderView* header = list_->header();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint& pos) { HeaderMenu()->popup(list_->header()->mapToGlobal(pos)); });
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) { headerClicked(section); });
    apply();
}

void ListColumns::ShowView(bool systemView) {
    system_ = systemView;
    if (!system_) {
        list_->header()->setSortIndicatorShown(false);
        // The list file's view keeps the designed width of its schedule column.
        list_->setColumnWidth(TaskListModel::ColSchedule,
                              TaskListModel::HeaderTwips(TaskListModel::ColSchedule) / kTwipsPerPixel);
    }
    apply();
}

void ListColumns::apply() {
    for (int c = 0; c < TaskListModel::ColumnCount; ++c) {
        const bool runnerColumn = c >= TaskListModel::kDescribedColumns;
        list_->setColumnHidden(c, hidden_.contains(c) || (runnerColumn && !system_));
    }
}

void ListColumns::SetHidden(int column, bool hidden) {
    if (hidden)
        hidden_.insert(column);
    else
        hidden_.remove(column);
    QVariantList saved;
    for (int c = 0; c < TaskListModel::ColumnCount; ++c)
        if (hidden_.contains(c))
            saved << c;
    QSettings(QSettings::UserScope, kOrganization, kOrganization).setValue(kHiddenKey, saved);
    apply();
}

QMenu* ListColumns::HeaderMenu() {
    if (!menu_)
        menu_ = new QMenu(list_);
    menu_->clear();
    const int shown = system_ ? TaskListModel::ColumnCount : TaskListModel::kDescribedColumns;
    for (int c = 0; c < shown; ++c) {
        QAction* item = menu_->addAction(TaskListModel::HeaderText(c).trimmed());
        item->setCheckable(true);
        item->setChecked(!hidden_.contains(c));
        connect(item, &QAction::toggled, this, [this, c](bool checked) { SetHidden(c, !checked); });
    }
    return menu_;
}

void ListColumns::headerClicked(int section) {
    // Only the runner's columns sort: the four others keep the order of the list file or the store.
    if (!system_ || section < TaskListModel::kDescribedColumns)
        return;
    order_ =
        section == sortColumn_ && order_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn_ = section;
    list_->header()->setSortIndicatorShown(true);
    list_->header()->setSortIndicator(section, order_);
    Resort();
}

void ListColumns::Refilled() {
    if (!system_)
        return;
    const int design = TaskListModel::HeaderTwips(TaskListModel::ColSchedule) / kTwipsPerPixel;
    list_->resizeColumnToContents(TaskListModel::ColSchedule);
    if (list_->columnWidth(TaskListModel::ColSchedule) > design)
        list_->setColumnWidth(TaskListModel::ColSchedule, design);
    Resort();
}

void ListColumns::Resort() {
    if (system_ && sortColumn_ >= 0)
        list_->taskModel()->sort(sortColumn_, order_);
}

} // namespace brio
