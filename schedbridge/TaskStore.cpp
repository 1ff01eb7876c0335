#include "TaskStore.h"

#include "BrioError.h"
#include "ProgramFolder.h"
#include "StoreFolder.h"
#include "StoreTask.h"
#include "TaskName.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace brio {

namespace {

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return fs::temp_directory_path();
}

} // namespace

TaskStore::TaskStore(fs::path folder)
    : store_(std::make_shared<StoreFolder>(std::move(folder))),
      accepted_(std::make_shared<AcceptedAccount>()) {}

TaskStore::~TaskStore() = default;

void TaskStore::Flush() {
    store_->Flush();
}

void TaskStore::BeginBatch() {
    store_->BeginBatch();
}

fs::path TaskStore::DefaultFolder() {
    if (const char* own = std::getenv("BRIOSCHEDULE_TASKS"); own && *own)
        return own;
    const fs::path system = "/var/lib/brioschedule/tasks";
    if (MayWriteFolder(system))
        return system;
    const char* data = std::getenv("XDG_DATA_HOME");
    const fs::path base =
        (data && *data && fs::path(data).is_absolute()) ? fs::path(data) : homeFolder() / ".local" / "share";
    return base / "brioschedule" / "tasks";
}

const fs::path& TaskStore::Folder() const noexcept {
    return store_->folder();
}

void TaskStore::Refresh() {
    store_->Refresh();
}

int TaskStore::Count() const {
    return static_cast<int>(store_->tasks().size());
}

void TaskStore::checkIndex(int index) const {
    if (index < 1 || index > Count())
        throw BrioError(err::SubscriptOutOfRange, "no existe la tarea número " + std::to_string(index) +
                                                      " (hay " + std::to_string(Count()) + ")");
}

SchedTaskPtr TaskStore::Item(int index) {
    checkIndex(index);
    const StoredTask& task = store_->tasks()[static_cast<std::size_t>(index - 1)];
    return std::make_shared<StoreTask>(store_, accepted_, task.name, task.job, SaveMode::Rewrite);
}

SchedTaskPtr TaskStore::Item(const std::string& name) {
    SchedTaskPtr task = Find(name);
    if (!task)
        throw BrioError(err::SubscriptOutOfRange, "no existe la tarea «" + name + "»");
    return task;
}

SchedTaskPtr TaskStore::Find(const std::string& name) {
    std::optional<StoredTask> task = store_->Lookup(name);
    if (!task)
        return nullptr;
    return std::make_shared<StoreTask>(store_, accepted_, std::move(task->name), std::move(task->job),
                                       SaveMode::Rewrite);
}

bool TaskStore::Remove(const std::string& name) {
    return store_->Remove(name);
}

SchedTaskPtr TaskStore::NewTask(const std::string& name) {
    CheckTaskName(name);
    // Also a file stored by another program since the last Refresh; Save makes the full check.
    if (const std::optional<std::string> taken = store_->TakenName(name))
        throw BrioError(err::FileExists, "ya existe una tarea llamada «" + *taken + "»");
    return std::make_shared<StoreTask>(store_, accepted_, name, JobData{}, SaveMode::New);
}

SchedTaskPtr TaskStore::ReplaceTask(const std::string& name) {
    CheckTaskName(name);
    return std::make_shared<StoreTask>(store_, accepted_, name, JobData{}, SaveMode::Replace);
}

void TaskStore::Delete(int index) {
    checkIndex(index);
    store_->Delete(static_cast<std::size_t>(index - 1));
}

std::vector<std::string> TaskStore::Warnings() const {
    return store_->warnings();
}

StoreCounters TaskStore::Counters() {
    return StoreFolder::Counters();
}

SchedBridgeFactory MakeTaskStoreFactory(fs::path folder) {
    return [folder]() -> std::unique_ptr<SchedBridge> {
        return std::make_unique<TaskStore>(folder.empty() ? TaskStore::DefaultFolder() : folder);
    };
}

} // namespace brio
