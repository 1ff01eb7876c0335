#include "TaskListFiller.h"

#include "NextRunsPreview.h"
#include "RunnerLink.h"
#include "TaskIconCache.h"
#include "TaskListModel.h"
#include "TaskListView.h"
#include "clsAdminTask.h"

#include <QSet>

namespace brio {

namespace {
constexpr std::int32_t kStateMissingProgram = 128;
const QString kStateError = QStringLiteral("Error");
const QString kStateDisabled = QStringLiteral("Deshabilitada");
} // namespace

QStringList TaskListFiller::StateTexts() {
    return {kStateError, kStateDisabled};
}

TaskListFiller::TaskListFiller(TaskListView* list, TaskListModel* model, TaskIconCache* images)
    : list_(list), model_(model), images_(images) {
    // The system view's tooltips also tell the task's last run, read when the tooltip is shown.
    if (model_)
        model_->SetTooltipExtra([](const QString& name) { return LastRunLine(name.toStdString()); });
}

QString TaskListFiller::SystemRowTip(const SchedTask& task) {
    static const ScheduleEngine engine(ScheduleZone::Host());
    return NextRunTip(engine, task,
                      std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
}

TaskRow TaskListFiller::MakeRow(const clsTarea& task, int icon) {
    TaskRow row;
    row.name = QString::fromStdString(task.Name());
    row.icon = icon;
    row.checked = task.Seleccion() != 0;
    if ((task.State() & kStateMissingProgram) == kStateMissingProgram)
        row.state = kStateError;
    else if (!task.Enabled())
        row.state = kStateDisabled;
    if (task.StartTimeRandom() != 0)
        row.rnd = QString::number(task.StartTimeRandom());
    row.schedule = QString::fromStdString(task.Text());
    return row;
}

void TaskListFiller::Fill(clsAdminTask& admin, std::uint8_t view) {
    const QString previous = list_->CurrentText();
    model_->Clear();
    images_->BeginFill();

    // The system view's rows tell their next start in their tooltips, found in the same pass.
    std::vector<QString> tips;
    const auto addTips = [&](const SchedTask& task) { tips.push_back(SystemRowTip(task)); };
    const TareaList tasks = view == 0 ? admin.getXMLTaskList() : admin.getSystemTaskList(addTips);
    if (!tasks.empty()) {
        std::vector<TaskRow> rows;
        rows.reserve(tasks.size());
        QSet<QString> seen;
        seen.reserve(static_cast<qsizetype>(tasks.size()));
        for (const clsTarea& task : tasks) {
            // The icon comes before the hidden test, so a hidden system task still gets its image cached.
            const int icon = view != 0
                                 ? images_->GetAppIconIndex(task.ApplicationName(), task.Name())
                                 : (task.Enabled() ? TaskIconCache::kEnabled : TaskIconCache::kDisabled);
            if (task.hidden())
                continue;
            rows.push_back(MakeRow(task, icon));
            if (view != 0)
                rows.back().tooltip = tips.at(static_cast<std::size_t>(&task - tasks.data()));
            const QString& key = rows.back().name;
            if (!key.isEmpty()) {
                if (seen.contains(key))
                    break; // the model refuses this row; the later records are not looked at
                seen.insert(key);
            }
        }
        model_->AppendRows(std::move(rows));
        if (!previous.isEmpty()) {
            if (const int r = model_->RowOfKey(previous); r >= 0)
                list_->SetCurrentRow(r);
        }
    }
    list_->viewport()->update();
}

} // namespace brio
