#include "SchedBridge.h"

namespace brio {

namespace {
TaskEditor* g_editor = nullptr; // the window's property dialog; none on the command line
}

void RegisterTaskEditor(TaskEditor* editor) {
    g_editor = editor;
}
TaskEditor* RegisteredTaskEditor() {
    return g_editor;
}

bool TaskEditor::EditStandIn(SchedTask& task, QObject* owner, TaskStandIn& standIn) {
    // An editor that knows no stand-ins edits the disabled bit itself: it sees the entry's state there,
    // and the copy's own bit is put back afterwards, whatever the answer.
    const std::int32_t own = task.Flags() & taskflag::disabled;
    task.setFlags(standIn.enabled ? task.Flags() & ~taskflag::disabled : task.Flags() | taskflag::disabled);
    const bool accepted = Edit(task, owner);
    if (accepted)
        standIn.enabled = (task.Flags() & taskflag::disabled) == 0;
    task.setFlags((task.Flags() & ~taskflag::disabled) | own);
    return accepted;
}

} // namespace brio
