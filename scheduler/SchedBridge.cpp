// What every scheduler can do through its enumeration; a scheduler that can do better overrides it.
#include "SchedBridge.h"

#include "BrioError.h"

#include <QString>

#include <cstdio>

namespace brio {

namespace {

QString upper(const std::string& name) {
    return QString::fromStdString(name).toUpper();
}

} // namespace

SchedTaskPtr SchedBridge::Find(const std::string& name) {
    Refresh();
    const QString wanted = upper(name);
    const int count = Count();
    for (int i = 1; i <= count; ++i) {
        SchedTaskPtr task = Item(i);
        if (upper(task->Name()) == wanted)
            return task;
    }
    return nullptr;
}

bool SchedBridge::Remove(const std::string& name) {
    Refresh();
    const QString wanted = upper(name);
    const int count = Count();
    for (int i = 1; i <= count; ++i) {
        if (upper(Item(i)->Name()) == wanted) {
            Delete(i);
            return true;
        }
    }
    return false;
}

SchedBatch::~SchedBatch() {
    try {
        bridge_.Flush(); // nothing left to do after the command's own Flush
    } catch (const BrioError& e) {
        std::fprintf(stderr, "brioschedule: %s\n", e.description().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "brioschedule: %s\n", e.what());
    }
}

} // namespace brio
