#pragma once

#include "clsTarea.h"

#include <QStringList>

#include <cstdint>

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
    TaskListFiller(TaskListView* list, TaskListModel* model, TaskIconCache* images);

    // Reads the records through `admin` and lists them. A failure leaves the rows listed before it and is
    // passed on (a second row of the same name is error 35602).
    void Fill(clsAdminTask& admin, std::uint8_t view);

    // The row of one record with the given image.
    static TaskRow MakeRow(const clsTarea& task, int icon);
    // The tooltip of a system view row: when the task starts next.
    static QString SystemRowTip(const SchedTask& task);
    // Every text the " Estado" column can show.
    static QStringList StateTexts();

private:
    TaskListView* list_;
    TaskListModel* model_;
    TaskIconCache* images_;
};

} // namespace brio
