#pragma once

// The boundary to the host's task scheduler. The administration object sees the scheduler only through
// these interfaces; schedbridge/ implements them with a durable task store, tests may use other ones.

#include "SchedTrigger.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace brio {

// One scheduler task. Changes stay in the object until Save stores them.
class SchedTask {
public:
    virtual ~SchedTask() = default;

    virtual std::string Name() const = 0;
    virtual std::string ApplicationName() const = 0;
    virtual void setApplicationName(const std::string& value) = 0;
    virtual std::string Parameters() const = 0;
    virtual void setParameters(const std::string& value) = 0;
    virtual std::string WorkingDirectory() const = 0;
    virtual void setWorkingDirectory(const std::string& value) = 0;
    // The task flag word (taskflag bits).
    virtual std::int32_t Flags() const = 0;
    virtual void setFlags(std::int32_t value) = 0;
    virtual SchedTriggers& Triggers() = 0;
    virtual const SchedTriggers& Triggers() const = 0;
    // The user the task runs as; empty when none was set.
    virtual std::string AccountName() const = 0;

    // Checks the pair with the host's logon (a refused pair is error 70) and keeps only the user name.
    virtual void SetAccountInformation(const std::string& user, const std::string& password) = 0;
    // Shows the task property dialog through the registered editor, modal to `owner`; OK saves the task
    // and gives true, Cancel changes nothing and gives false. Without a registered editor it fails with a
    // clear error.
    virtual bool EditProperties(QObject* owner) = 0;
    // Stores the task in the scheduler; `flag` is always 0.
    virtual void Save(int flag = 0) = 0;
};

using SchedTaskPtr = std::shared_ptr<SchedTask>;

// The scheduler as a whole. Every failure is a BrioError with number and description.
class SchedBridge {
public:
    virtual ~SchedBridge() = default;

    // Reads the current set of tasks. Two objects refreshed with no change in between enumerate alike.
    virtual void Refresh() = 0;
    // The number of tasks of the last Refresh. The object's own Save, Delete and replacing show in its
    // enumeration at once (so positions after a deleted task move up by one).
    virtual int Count() const = 0;
    // The task at a 1-based position of the enumeration; outside 1..Count is error 9.
    virtual SchedTaskPtr Item(int index) = 0;
    // The task of that name, without regard to letter case; a name that is not there is error 9.
    virtual SchedTaskPtr Item(const std::string& name) = 0;
    // A new task, not yet stored, with no trigger, flag word 0 and no program. A taken name is error
    // -2147024816; a name that cannot be a task name is error 52.
    virtual SchedTaskPtr NewTask(const std::string& name) = 0;
    // A new task, not yet stored, that takes the place of the task of that name (any letter case) when
    // it is saved; until then the old task stays as it was. With no task of that name, as NewTask.
    virtual SchedTaskPtr ReplaceTask(const std::string& name) = 0;
    // Removes the task at a 1-based position; outside 1..Count is error 9.
    virtual void Delete(int index) = 0;

    // The task of that name without regard to letter case, or nullptr when there is none. Needs no
    // Refresh: a scheduler may then read just that task (this one refreshes and walks the enumeration).
    virtual SchedTaskPtr Find(const std::string& name);
    // Removes the task Find finds; false when there is none. Needs no Refresh either.
    virtual bool Remove(const std::string& name);
    // What the last Refresh could not read (one Spanish line each); those tasks are left out.
    virtual std::vector<std::string> Warnings() const = 0;
    // Brings every change this object made to the disk, once for all of them. A scheduler whose changes
    // reach the disk one by one has nothing to do; one that defers them also flushes when it ends, but
    // can report a failure only here.
    virtual void Flush() {}
    // Lets the changes that follow, up to the next Flush, wait and reach the scheduler together: a
    // scheduler that can apply many changes at once cheaper than one by one does so (others do nothing).
    // The object's own reads see its changes at once; others may see none of them before the Flush.
    virtual void BeginBatch() {}
};

// One command's batch on a scheduler object: begun here and ended by the scheduler's Flush, which the
// command calls when it succeeds; when it fails part way, the end of the scope flushes what was done
// before the failure (a failure of that flush can then only be told on standard error).
class SchedBatch {
public:
    explicit SchedBatch(SchedBridge& bridge) : bridge_(bridge) { bridge_.BeginBatch(); }
    ~SchedBatch();
    SchedBatch(const SchedBatch&) = delete;
    SchedBatch& operator=(const SchedBatch&) = delete;

private:
    SchedBridge& bridge_;
};

// Makes a new scheduler object; every operation of the administration object makes its own.
using SchedBridgeFactory = std::function<std::unique_ptr<SchedBridge>()>;

// How a list entry's stand-in scheduler task is shown while the entry is edited through it.
struct TaskStandIn {
    std::string name;    // the entry's own name (the copy has another one)
    bool enabled = true; // the entry's own state; after editing, the one chosen
};

// Shows and edits one task's properties; the window implements it and registers it.
class TaskEditor {
public:
    virtual ~TaskEditor() = default;
    // Edits `task` in place, modal to `owner`; true when the person accepted (OK), false on Cancel.
    // On false the task must be left exactly as it was.
    virtual bool Edit(SchedTask& task, QObject* owner) = 0;
    // Edits `task` as the stand-in of a list entry: shown under the entry's name and with the entry's
    // enabled state, while the task's own disabled bit stays as it is (the scheduler must not run the
    // copy). On true, `standIn.enabled` holds the state the person chose.
    virtual bool EditStandIn(SchedTask& task, QObject* owner, TaskStandIn& standIn);
};

// The editor EditProperties uses; nullptr when none is registered (the command line).
void RegisterTaskEditor(TaskEditor* editor);
TaskEditor* RegisteredTaskEditor();

} // namespace brio
