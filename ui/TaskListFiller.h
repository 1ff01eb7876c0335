#pragma once

#include "DateTime.h"
#include "SchedTrigger.h"
#include "clsTarea.h"

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
    // The tooltip of a system view row: when a task of these triggers and flags starts next.
    QString SystemRowTip(const SchedTriggers& triggers, std::int32_t flags) const;
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
    std::vector<RowSchedule> schedules_; // one for each row of the system view, in row order
};

} // namespace brio
