#pragma once

#include "DateTime.h"
#include "SchedTrigger.h"
#include "clsTarea.h"

#include <QHash>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace brio {

class clsAdminTask;
class SchedTask;
class TaskIconCache;
class TaskListModel;
class TaskListView;
struct TaskRow;

// Clears lvwTareas and fills it with the records of one view: 0 = the list file, any other value = the
// scheduler. The current row is kept by its key when it comes back.
class TaskListFiller {
public:
    TaskListFiller(TaskListView* list, TaskListModel* model, TaskIconCache* images,
                   const Clock& clock = HostClock());

    // Reads the records through `admin` and lists them. A failure leaves the rows listed before it and is
    // passed on (a second row of the same name is error 35602).
    void Fill(clsAdminTask& admin, std::uint8_t view);

    // The row of one record with the given image.
    static TaskRow MakeRow(const clsTarea& task, int icon);
    // The tooltip of a system view row: when a task of these triggers and flags starts next; with no
    // runner, marked as what would happen.
    QString SystemRowTip(const SchedTriggers& triggers, std::int32_t flags, bool runnerRunning = true) const;
    // Whether a runner works on the store: the next starts shown are then real ones.
    void SetRunnerRunning(bool running) { runnerRunning_ = running; }
    // Every text the " Estado" column can show.
    static QStringList StateTexts();

private:
    // What a system view row's tooltip is made of, kept from the fill so that the next start is found only
    // for a row whose tooltip is shown.
    struct RowSchedule {
        SchedTriggers triggers;
        std::int32_t flags = 0;
    };

    TaskListView* list_;
    TaskListModel* model_;
    TaskIconCache* images_;
    const Clock& clock_;
    QHash<QString, RowSchedule> schedules_; // the system view's rows, by name
    bool runnerRunning_ = true;
};

} // namespace brio
