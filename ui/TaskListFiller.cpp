#include "TaskListFiller.h"

#include "NextRunsPreview.h"
#include "RunColumns.h"
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

TaskListFiller::TaskListFiller(TaskListView* list, TaskListModel* model, TaskIconCache* images,
                               const Clock& clock)
    : list_(list), model_(model), images_(images), clock_(clock) {
    if (!model_)
        return;
    // The system view's tooltips tell the task's next start after the moment they are shown, and its last
    // run.
    model_->SetTooltipSource([this](int row) {
        if (row < 0 || row >= model_->count())
            return QString();
        const auto found = schedules_.constFind(model_->row(row).name);
        if (found == schedules_.cend())
            return QString();
        return SystemRowTip(found->triggers, found->flags, runnerRunning_);
    });
    model_->SetTooltipExtra([](const QString& name) { return LastRunLine(name.toStdString()); });
}

namespace {
const ScheduleEngine& hostEngine() {
    static const ScheduleEngine engine(ScheduleZone::Host());
    return engine;
}
} // namespace

QString TaskListFiller::SystemRowTip(const SchedTriggers& triggers, std::int32_t flags,
                                     bool runnerRunning) const {
    const Schedule next = hostEngine().Next(triggers, flags, clock_.Now(), 1);
    QString tip = QStringLiteral("Próxima ejecución: ") + NextRunsPreview::Text(next, hostEngine().Zone());
    if (!runnerRunning && !next.starts.empty())
        tip += QStringLiteral(" (no se ejecutará: el ejecutor no está en marcha)");
    return tip;
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
    schedules_.clear();
    model_->SetRunCellsSource({});
    images_->BeginFill();

    // What the system view's tooltips need is kept in the same pass.
    std::vector<RowSchedule> schedules;
    const auto keep = [&](const SchedTask& task) { schedules.push_back({task.Triggers(), task.Flags()}); };
    const TareaList tasks = view == 0 ? admin.getXMLTaskList() : admin.getSystemTaskList(keep);
    if (!tasks.empty()) {
        std::vector<TaskRow> rows;
        rows.reserve(tasks.size());
        if (view != 0)
            schedules_.reserve(static_cast<qsizetype>(tasks.size()));
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
                schedules_.insert(rows.back().name,
                                  std::move(schedules.at(static_cast<std::size_t>(&task - tasks.data()))));
            const QString& key = rows.back().name;
            if (!key.isEmpty()) {
                if (seen.contains(key))
                    break; // the model refuses this row; the later records are not looked at
                seen.insert(key);
            }
        }
        if (view != 0)
            model_->SetRunCellsSource([this](const QString& name) {
                const auto found = schedules_.constFind(name);
                const Schedule next = found == schedules_.cend()
                                          ? Schedule{}
                                          : hostEngine().Next(found->triggers, found->flags, clock_.Now(), 1);
                return MakeRunCells(TaskRunState(name.toStdString()), next, runnerRunning_,
                                    hostEngine().Zone());
            });
        model_->AppendRows(std::move(rows));
        if (!previous.isEmpty()) {
            if (const int r = model_->RowOfKey(previous); r >= 0)
                list_->SetCurrentRow(r);
        }
    }
    list_->viewport()->update();
}

} // namespace brio
