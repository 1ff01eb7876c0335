#include "StoreFolder.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "FolderListing.h"
#include "FolderLock.h"
#include "StoreBatch.h"
#include "SystemMessages.h"
#include "TaskFileAccess.h"
#include "TaskName.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace brio {

namespace {

[[noreturn]] void fail(const std::string& what, const fs::path& path, int code) {
    throw BrioError(SystemErrorNumber(code), what + " «" + path.string() + "»: " + SystemErrorText(code));
}

std::atomic<std::uint64_t> g_refreshes{0};
std::atomic<std::uint64_t> g_flushes{0};
std::atomic<std::uint64_t> g_lookups{0};

bool before(const StoredTask& a, const StoredTask& b) {
    return a.key != b.key ? a.key < b.key : a.name < b.name;
}

// The other spellings a save of `name` replaces among the `taken` names of its key, after the checks that
// refuse it: a new task must not take a stored name, and a file that cannot be read is never replaced
// (one this object's batch saved can).
std::vector<std::string> replacedBy(const fs::path& folder, const std::string& name, SaveMode mode,
                                    std::vector<std::string> taken, const StoreBatch* batch) {
    if (!taken.empty() && mode != SaveMode::Replace)
        throw BrioError(err::FileExists, "ya existe una tarea llamada «" + taken.front() + "»");
    std::vector<std::string> replaced;
    for (std::string& other : taken) {
        // A file that cannot be read is kept for a person to look at, never overwritten.
        std::string content;
        std::string problem;
        int readCode = 0;
        JobData ignored;
        if ((!batch || batch->saved.count(other) == 0) &&
            (!ReadWholeTaskFile(TaskFilePath(folder, other), content, problem, readCode) ||
             !ReadJob(content, ignored, problem)))
            throw BrioError(err::PathFileAccess, "el archivo de tarea «" +
                                                     TaskFilePath(folder, other).string() +
                                                     "» no se puede leer y no se reemplaza: " + problem);
        if (other != name)
            replaced.push_back(std::move(other));
    }
    return replaced;
}

// Reads the task file of `name` into `task`, as ReadTask does.
bool readTask(const fs::path& file, const std::string& name, StoredTask& task, std::string& content,
              std::vector<std::string>& warnings) {
    if (!ReadTask(file, name, task.job, content, warnings))
        return false;
    task.key = TaskNameKey(name);
    task.name = name;
    return true;
}

void tell(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "brioschedule: %s\n", warning.c_str());
}

} // namespace

StoreFolder::StoreFolder(fs::path folder) : folder_(std::move(folder)) {}

StoreFolder::~StoreFolder() {
    try {
        Flush();
    } catch (const BrioError& e) {
        std::fprintf(stderr, "brioschedule: %s\n", e.description().c_str());
    }
}

void StoreFolder::Flush() {
    if (batch_ && !batch_->changes.empty()) {
        // The batch ends here whatever happens, and its lock with it.
        try {
            applyBatch();
        } catch (...) {
            batch_.reset();
            throw;
        }
        batch_.reset();
        return;
    }
    batch_.reset();
    if (!unflushed_)
        return;
    unflushed_ = false;
    ++g_flushes;
    FlushFileSystemOf(folder_);
}

void StoreFolder::BeginBatch() {
    if (!batch_)
        batch_ = std::make_unique<StoreBatch>();
}

fs::path StoreFolder::fileOf(const std::string& name) const {
    return TaskFilePath(folder_, name);
}

void StoreFolder::ensureFolder() const {
    struct stat info {};
    if (::stat(folder_.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            throw BrioError(err::PathNotFound,
                            "el almacén de tareas «" + folder_.string() + "» no es una carpeta");
        // Anyone who may write here could plant a task that runs under another account.
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
            throw BrioError(err::PermissionDenied, "el almacén de tareas «" + folder_.string() +
                                                       "» lo pueden modificar otros usuarios (permisos " +
                                                       mode + "); no se abre");
        }
        return;
    }
    // Create every missing folder of the path, each private to its owner.
    fs::path partial;
    for (const fs::path& part : folder_) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            fail("no se puede crear la carpeta del almacén de tareas", partial, errno);
    }
}

void StoreFolder::Refresh() {
    ensureFolder();
    if (batch_)
        applyBatch(); // a whole read finds the batch's changes in place
    std::vector<StoredTask> tasks;
    std::vector<std::string> warnings;
    {
        const StepLock lock(folder_, batch_.get(), LOCK_SH);
        std::vector<std::string> names;
        int code = 0;
        if (!ForEachTaskFile(folder_, code, [&](std::string_view name) { names.emplace_back(name); }))
            fail("no se puede leer la carpeta del almacén de tareas", folder_, code);
        tasks.reserve(names.size());
        std::string content;
        for (const std::string& name : names) {
            StoredTask task;
            if (readTask(fileOf(name), name, task, content, warnings))
                tasks.push_back(std::move(task));
        }
    }
    std::sort(tasks.begin(), tasks.end(), before);
    tell(warnings);
    tasks_ = std::move(tasks);
    warnings_ = std::move(warnings);
    refreshed_ = true;
    ++g_refreshes;
}

std::optional<StoredTask> StoreFolder::Lookup(const std::string& name) {
    if (refreshed_) {
        const int position = Find(name);
        if (position < 0)
            return std::nullopt;
        return tasks_[static_cast<std::size_t>(position)];
    }
    ++g_lookups;
    if (!TaskNameProblem(name).empty())
        return std::nullopt; // no task file can have that name
    ensureFolder();          // the same checks of the folder as a Refresh makes
    if (std::optional<StoredTask> own = batchTask(name))
        return own;
    std::optional<StoredTask> found;
    std::vector<std::string> warnings;
    std::string content;
    {
        const StepLock lock(folder_, batch_.get(), LOCK_SH);
        const std::string key = TaskNameKey(name);
        StoredTask task;
        const bool removed = PresentAfter(batch_.get(), key, name) == std::optional<bool>(false);
        if (!removed && readTask(fileOf(name), name, task, content, warnings)) {
            found = std::move(task);
        } else {
            // Another spelling of the name, in the enumeration's order.
            std::vector<std::string> others = NamesNow(folder_, *lock, batch_.get(), key);
            std::sort(others.begin(), others.end());
            for (const std::string& other : others) {
                if (other == name)
                    continue;
                if (std::optional<StoredTask> own = batchTask(other)) {
                    found = std::move(own);
                    break;
                }
                StoredTask candidate;
                if (readTask(fileOf(other), other, candidate, content, warnings)) {
                    found = std::move(candidate);
                    break;
                }
            }
        }
    }
    tell(warnings);
    return found;
}

std::optional<std::string> StoreFolder::TakenName(const std::string& name) {
    if (refreshed_) {
        const int position = Find(name);
        if (position >= 0)
            return tasks_[static_cast<std::size_t>(position)].name;
    }
    ensureFolder();
    const std::string key = TaskNameKey(name);
    if (ExistsNow(batch_.get(), key, name, fileOf(name)))
        return name;
    const StepLock lock(folder_, batch_.get(), LOCK_SH);
    std::vector<std::string> taken = NamesNow(folder_, *lock, batch_.get(), key);
    if (taken.empty())
        return std::nullopt;
    return *std::min_element(taken.begin(), taken.end());
}

bool StoreFolder::Remove(const std::string& name) {
    if (refreshed_) {
        const int position = Find(name);
        if (position < 0)
            return false;
        Delete(static_cast<std::size_t>(position));
        return true;
    }
    const std::optional<StoredTask> task = Lookup(name);
    if (!task)
        return false;
    forget(task->name);
    if (batch_) {
        removeInBatch(task->name);
        return true;
    }
    const fs::path file = fileOf(task->name);
    FolderLock lock(folder_, LOCK_EX);
    if (::unlink(file.c_str()) != 0 && errno != ENOENT)
        fail("no se puede eliminar la tarea", file, errno);
    unflushed_ = true;
    NoteChange(folder_, lock, {}, {task->name});
    return true;
}

StoreCounters StoreFolder::Counters() {
    return {g_refreshes, TaskFilesRead(), g_lookups, g_flushes};
}

int StoreFolder::Find(const std::string& name) const {
    StoredTask probe;
    probe.key = TaskNameKey(name);
    auto it = std::lower_bound(tasks_.begin(), tasks_.end(), probe,
                               [](const StoredTask& a, const StoredTask& b) { return a.key < b.key; });
    int first = -1;
    for (; it != tasks_.end() && it->key == probe.key; ++it) {
        const int position = static_cast<int>(it - tasks_.begin());
        if (it->name == name)
            return position;
        if (first < 0)
            first = position;
    }
    return first;
}

void StoreFolder::Save(const std::string& name, const JobData& job, SaveMode mode) {
    CheckTaskName(name);
    ensureFolder();
    const std::string content = WriteJob(job);
    if (batch_) {
        saveInBatch(name, job, mode, content);
        return;
    }
    const fs::path file = fileOf(name);
    std::vector<std::string> replaced; // the same task's files under other spellings of its name
    {
        FolderLock lock(folder_, LOCK_EX);
        struct stat info {};
        if (mode != SaveMode::Rewrite || ::lstat(file.c_str(), &info) != 0) {
            // The definitive check: another program may have stored the name since this object looked.
            replaced =
                replacedBy(folder_, name, mode, NamesWithKey(folder_, lock, TaskNameKey(name)), nullptr);
        }
        // The old file stays in place until the new one is complete and renamed over it.
        WriteFileAtomically(file, content, 0600, Durability::Deferred);
        unflushed_ = true;
        for (const std::string& other : replaced) {
            if (::unlink(fileOf(other).c_str()) != 0 && errno != ENOENT)
                fail("no se puede eliminar la tarea reemplazada", fileOf(other), errno);
        }
        NoteChange(folder_, lock, {name}, replaced);
        RememberWritten(file, job);
    }
    remember(name, job, replaced);
}

void StoreFolder::remember(const std::string& name, const JobData& job,
                           const std::vector<std::string>& replaced) {
    for (const std::string& other : replaced) {
        const auto gone =
            std::find_if(tasks_.begin(), tasks_.end(), [&](const StoredTask& t) { return t.name == other; });
        if (gone != tasks_.end())
            tasks_.erase(gone);
    }
    StoredTask task{name, TaskNameKey(name), job};
    auto it = std::lower_bound(tasks_.begin(), tasks_.end(), task, before);
    if (it != tasks_.end() && it->name == name)
        it->job = job;
    else
        tasks_.insert(it, std::move(task));
}

void StoreFolder::Delete(std::size_t position) {
    if (batch_) {
        removeInBatch(tasks_.at(position).name);
        tasks_.erase(tasks_.begin() + static_cast<std::ptrdiff_t>(position));
        return;
    }
    const fs::path file = fileOf(tasks_.at(position).name);
    {
        FolderLock lock(folder_, LOCK_EX);
        if (::unlink(file.c_str()) != 0 && errno != ENOENT)
            fail("no se puede eliminar la tarea", file, errno);
        unflushed_ = true;
        NoteChange(folder_, lock, {}, {tasks_.at(position).name});
    }
    tasks_.erase(tasks_.begin() + static_cast<std::ptrdiff_t>(position));
}

void StoreFolder::forget(const std::string& name) {
    const auto gone =
        std::find_if(tasks_.begin(), tasks_.end(), [&](const StoredTask& t) { return t.name == name; });
    if (gone != tasks_.end())
        tasks_.erase(gone);
}

std::optional<StoredTask> StoreFolder::batchTask(const std::string& name) const {
    if (!batch_ || batch_->saved.count(name) == 0)
        return std::nullopt;
    const int position = Find(name);
    if (position < 0 || tasks_[static_cast<std::size_t>(position)].name != name)
        return std::nullopt;
    return tasks_[static_cast<std::size_t>(position)];
}

void StoreFolder::saveInBatch(const std::string& name, const JobData& job, SaveMode mode,
                              const std::string& content) {
    if (batch_->temporaries.size() >= StoreBatch::kMostPending)
        applyBatch(); // the batch goes on, with fewer files waiting
    StoreBatch& batch = *batch_;
    const FolderLock& lock = batch.exclusive(folder_);
    const fs::path file = fileOf(name);
    const std::string key = TaskNameKey(name);
    std::vector<std::string> replaced;
    if (mode != SaveMode::Rewrite || !ExistsNow(&batch, key, name, file))
        replaced = replacedBy(folder_, name, mode, NamesNow(folder_, lock, &batch, key), &batch);
    struct stat before {};
    const bool stated = ::stat(folder_.c_str(), &before) == 0;
    StagedSave staged = StageSave(file, content, 0600);
    batch.temporaries.insert(staged.temporary.filename().native());
    // Only now that the new file is written may an earlier save of the task, or of a spelling it
    // replaces, be dropped.
    if (const auto earlier = batch.saved.find(name); earlier != batch.saved.end())
        batch.cancel(earlier->second);
    for (const std::string& other : replaced) {
        if (const auto earlier = batch.saved.find(other); earlier != batch.saved.end())
            batch.cancel(earlier->second);
    }
    batch.saved[name] = batch.changes.size();
    batch.changes.push_back({name, std::move(staged)});
    auto& touched = batch.touched[key];
    touched[name] = true;
    for (const std::string& other : replaced) {
        batch.changes.push_back({other, {}}); // removed once the new file is in place
        touched[other] = false;
    }
    if (stated)
        KeepListing(folder_, lock, VersionStampOf(before));
    unflushed_ = true;
    RememberStaged(file, job); // the file's stamp is known once it is in place
    remember(name, job, replaced);
}

void StoreFolder::removeInBatch(const std::string& name) {
    StoreBatch& batch = *batch_;
    const FolderLock& lock = batch.exclusive(folder_);
    struct stat before {};
    const bool stated = ::stat(folder_.c_str(), &before) == 0;
    if (const auto earlier = batch.saved.find(name); earlier != batch.saved.end())
        batch.cancel(earlier->second);
    batch.changes.push_back({name, {}});
    batch.touched[TaskNameKey(name)][name] = false;
    if (stated)
        KeepListing(folder_, lock, VersionStampOf(before));
    unflushed_ = true;
}

void StoreFolder::applyBatch() {
    StoreBatch& batch = *batch_;
    if (batch.changes.empty())
        return;
    const FolderLock& lock = *batch.lock;
    unflushed_ = false;
    ++g_flushes;
    std::unordered_map<std::string, bool> present; // each changed task's file once the changes are in place
    const auto note = [&] {
        std::vector<std::string> added, removed;
        for (const auto& [name, there] : present)
            (there ? added : removed).push_back(name);
        NoteChange(folder_, lock, added, removed);
    };
    try {
        // Every temporary's data is on the device before any name leads to it.
        FlushFileDataOf(folder_);
        for (StoreBatch::Change& change : batch.changes) {
            if (change.cancelled)
                continue;
            if (!change.staged.temporary.empty()) {
                change.cancelled = true; // in place, or removed by the failing commit
                CommitStagedSave(change.staged);
                present[change.name] = true;
            } else {
                if (::unlink(fileOf(change.name).c_str()) != 0 && errno != ENOENT)
                    fail("no se puede eliminar la tarea", fileOf(change.name), errno);
                present[change.name] = false;
            }
        }
        // The whole file system again, not only the folder: the inodes the renames freed are written
        // out too, and a file system without a journal lets new files reuse them sooner.
        FlushFileSystemOf(folder_);
    } catch (...) {
        note();          // what is in place stays; the rest is dropped with its temporaries
        batch.discard(); // the batch goes on empty, still under its lock
        throw;
    }
    note();
    batch.changes.clear();
    batch.discard();
    // The parse cache learns the stamps of the files now in place.
    for (const auto& [name, there] : present) {
        if (there)
            RememberPlaced(fileOf(name));
    }
}

} // namespace brio
