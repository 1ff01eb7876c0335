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

} // namespace brio
