#include "StoreFolder.h"

#include "TaskFileRule.h"

#include "AtomicFile.h"
#include "BrioError.h"
#include "SystemMessages.h"
#include "TaskName.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace brio {

namespace {

constexpr std::string_view kSuffix = ".job";

[[noreturn]] void fail(const std::string& what, const fs::path& path, int code) {
    throw BrioError(SystemErrorNumber(code), what + " «" + path.string() + "»: " + SystemErrorText(code));
}

// Folders whose exclusive lock an open batch of this process holds: another lock of the same file in
// this process would wait for ever.
std::mutex g_batchMutex;
std::unordered_set<std::string> g_batchFolders;

// A lock on "<folder>/.lock" for the life of the object; shared for reading, exclusive for writing.
class FolderLock {
public:
    FolderLock(const fs::path& folder, int operation) {
        {
            const std::lock_guard guard(g_batchMutex);
            if (g_batchFolders.count(folder.native()) != 0)
                throw BrioError(err::PathFileAccess,
                                "el almacén de tareas «" + folder.string() +
                                    "» está ocupado por otra operación de este programa");
        }
        const fs::path file = folder / ".lock";
        fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0 && operation == LOCK_SH)
            fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW); // a store we may only read
        if (fd_ < 0) {
            if (operation == LOCK_SH)
                return; // a store this process cannot write to is read without the lock
            fail("no se puede abrir el bloqueo del almacén de tareas", file, errno);
        }
        while (::flock(fd_, operation) != 0) {
            if (errno != EINTR) {
                const int code = errno;
                ::close(fd_);
                fail("no se puede bloquear el almacén de tareas", file, code);
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0)
            ::close(fd_); // closing the last descriptor releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Every writer counts its changes in the lock file, so a listing read under the lock can be reused
    // until any process changes the folder again.
    std::uint64_t generation() const {
        std::uint64_t value = 0;
        if (fd_ < 0 || ::pread(fd_, &value, sizeof value, 0) != static_cast<ssize_t>(sizeof value))
            return 0;
        return value;
    }
    void bumpGeneration() const {
        const std::uint64_t next = generation() + 1;
        if (fd_ >= 0 && ::pwrite(fd_, &next, sizeof next, 0) != static_cast<ssize_t>(sizeof next))
            return; // the next writer then lists the folder again, which is only slower
    }

private:
    int fd_ = -1;
};

// What identifies one version of a file or folder: a save renames a new file into place, so any
// change gives another inode or time.
struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtime = 0;
    std::int64_t ctime = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec,
            info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
}

// Task files this process has parsed, by path, with the stamp of the version read: a Refresh parses
// only the files that changed since. Only well-formed files are kept.
struct ParsedJob {
    Stamp stamp;
    JobData job;
    std::int64_t cachedAt = 0; // when the version was read or written, on the wall clock
};

// A file's times move in ticks: a version changed less than this before it was cached could be
// followed by an edit of the same size within the same tick, which the stamp would not tell.
constexpr std::int64_t kTimestampTick = 2'000'000'000;

std::int64_t wallNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Whether the cached version is surely the file's present one.
bool stillValid(const ParsedJob& parsed, const Stamp& now) {
    return parsed.stamp == now && now.ctime + kTimestampTick < parsed.cachedAt;
}
std::mutex g_cacheMutex;
std::unordered_map<std::string, ParsedJob> g_parsed;

std::atomic<std::uint64_t> g_refreshes{0};
std::atomic<std::uint64_t> g_filesRead{0};
std::atomic<std::uint64_t> g_flushes{0};
std::atomic<std::uint64_t> g_lookups{0};

// The task names of a folder by their key, valid while neither the lock file's count nor the folder's
// stamp changes.
struct Listing {
    std::uint64_t generation = 0;
    Stamp folder;
    std::unordered_map<std::string, std::vector<std::string>> namesByKey;
};
std::unordered_map<std::string, Listing> g_listings;

// Why an open task file is not trusted: not a regular file, linked under another name too (a hard link
// could make a write land in a file elsewhere), or owned by another user than the store's folder.
std::string trustProblem(int fd, const fs::path& file, struct stat& info) {
    if (::fstat(fd, &info) != 0)
        return "no es un archivo normal";
    struct stat folder {};
    if (::stat(file.parent_path().c_str(), &folder) != 0)
        return "no se puede leer la carpeta del almacén de tareas";
    return FileRuleProblem(info, TaskFileRule(folder.st_uid));
}

// Whether a folder entry is the temporary of a task file (".<name>.job.XXXXXX"), which exists only
// while a writer holds the exclusive lock: seen under any lock, it is what a killed writer left.
bool isTaskTemporary(std::string_view entry) {
    constexpr std::string_view kJob = ".job.";
    if (entry.size() < 1 + 1 + kJob.size() + 6 || entry[0] != '.')
        return false;
    const std::size_t at = entry.size() - 6 - kJob.size();
    if (entry.substr(at, kJob.size()) != kJob)
        return false;
    return std::all_of(entry.end() - 6, entry.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// The task name of a folder entry, or empty when the entry is not a task file.
std::string_view taskNameOf(std::string_view entry) {
    if (entry.size() <= kSuffix.size() || !entry.ends_with(kSuffix))
        return {};
    return entry.substr(0, entry.size() - kSuffix.size());
}

// Calls `visit(name)` for every task file of the folder; false when the folder cannot be listed. The
// temporaries named in `own` (an open batch's) are kept; any other is stale and removed.
template <typename Visit>
bool forEachTaskFile(const fs::path& folder, int& code, Visit visit,
                     const std::unordered_set<std::string>* own = nullptr) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        code = errno;
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type == DT_DIR)
            continue;
        if (entry->d_name[0] == '.' && isTaskTemporary(entry->d_name)) {
            if (!own || own->count(entry->d_name) == 0)
                ::unlinkat(::dirfd(dir), entry->d_name, 0); // callers hold the lock: it is stale
            continue;
        }
        const std::string_view name = taskNameOf(entry->d_name);
        if (!name.empty())
            visit(name);
    }
    ::closedir(dir);
    return true;
}

// Reads a whole file into `content`; false with the reason in `problem` and the system's error in `code`.
bool readFile(const fs::path& file, std::string& content, std::string& problem, int& code,
              Stamp* stamp = nullptr) {
    code = 0;
    // Never through a link, and without waiting on a FIFO in a task file's place.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        code = errno;
        problem = code == ELOOP ? "es un enlace simbólico" : SystemErrorText(code);
        return false;
    }
    struct stat info {};
    if (std::string doubt = trustProblem(fd, file, info); !doubt.empty()) {
        problem = doubt;
        ::close(fd);
        return false;
    }
    if (stamp)
        *stamp = stampOf(info);
    content.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == content.size())
            content.resize(done + 4096); // the file grew since fstat
        const ssize_t got = ::read(fd, content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            code = errno;
            problem = SystemErrorText(code);
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    content.resize(done);
    ::close(fd);
    return true;
}

bool before(const StoredTask& a, const StoredTask& b) {
    return a.key != b.key ? a.key < b.key : a.name < b.name;
}

} // namespace

namespace {

// The stored names with that key, from the folder's listing, which is read again only when another
// writer or a person changed the folder. Called under the exclusive lock.
std::vector<std::string> namesWithKey(const fs::path& folder, const FolderLock& lock, const std::string& key,
                                      const std::unordered_set<std::string>* own = nullptr) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        fail("no se puede leer la carpeta del almacén de tareas", folder, errno);
    const std::uint64_t generation = lock.generation();
    const std::lock_guard guard(g_cacheMutex);
    Listing& listing = g_listings[folder.native()];
    const auto namesOf = [&]() -> std::vector<std::string> {
        const auto found = listing.namesByKey.find(key);
        return found == listing.namesByKey.end() ? std::vector<std::string>() : found->second;
    };
    if (listing.generation == generation && listing.folder == stampOf(info) && generation != 0)
        return namesOf();
    listing = Listing{generation, stampOf(info), {}};
    int code = 0;
    if (!forEachTaskFile(
            folder, code,
            [&](std::string_view other) { listing.namesByKey[TaskNameKey(other)].emplace_back(other); },
            own)) {
        g_listings.erase(folder.native());
        fail("no se puede leer la carpeta del almacén de tareas", folder, code);
    }
    return namesOf();
}

// Records this writer's own change in the cached listing and in the lock file's count.
void noteChange(const fs::path& folder, const FolderLock& lock, const std::vector<std::string>& added,
                const std::vector<std::string>& removed) {
    const std::uint64_t before = lock.generation();
    lock.bumpGeneration();
    struct stat info {};
    const bool stated = ::stat(folder.c_str(), &info) == 0;
    const std::lock_guard guard(g_cacheMutex);
    const auto it = g_listings.find(folder.native());
    if (it == g_listings.end())
        return;
    Listing& listing = it->second;
    if (!stated || listing.generation != before || lock.generation() != before + 1) {
        g_listings.erase(it); // not sure what the folder holds now: list it again next time
        return;
    }
    for (const std::string& name : removed) {
        auto& names = listing.namesByKey[TaskNameKey(name)];
        names.erase(std::remove(names.begin(), names.end(), name), names.end());
    }
    for (const std::string& name : added) {
        auto& names = listing.namesByKey[TaskNameKey(name)];
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    listing.generation = before + 1;
    listing.folder = stampOf(info);
}

// After a change of the folder that adds or removes no task file (a batch's temporary), the cached
// listing stays valid when it was valid before it (`before` is the folder's stamp then).
void keepListing(const fs::path& folder, const FolderLock& lock, const Stamp& before) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return;
    const std::lock_guard guard(g_cacheMutex);
    const auto it = g_listings.find(folder.native());
    if (it != g_listings.end() && it->second.generation == lock.generation() && it->second.folder == before)
        it->second.folder = stampOf(info);
}

fs::path jobFile(const fs::path& folder, const std::string& name) {
    return folder / (name + std::string(kSuffix));
}

// The most temporaries a batch keeps before it puts its changes in place early.
constexpr std::size_t kMostPending = 16384;

} // namespace

struct StoreBatch {
    // One change, waiting for the batch's end.
    struct Change {
        std::string name;       // the task
        StagedSave staged;      // its new file; an empty temporary removes the task's file instead
        bool cancelled = false; // a later save or removal of the task took its place
    };

    StoreBatch() = default;
    StoreBatch(const StoreBatch&) = delete;
    StoreBatch& operator=(const StoreBatch&) = delete;
    ~StoreBatch() {
        discard();
        if (lock) {
            const std::lock_guard guard(g_batchMutex);
            g_batchFolders.erase(folder.native());
        }
    }

    // The folder's exclusive lock, taken at the batch's first change and held to its end.
    const FolderLock& exclusive(const fs::path& storeFolder) {
        if (!lock) {
            lock.emplace(storeFolder, LOCK_EX);
            // A listing is reused only under a counted generation: a store no writer has counted in yet
            // starts counting here, or every change of a long batch would list the folder again.
            if (lock->generation() == 0)
                lock->bumpGeneration();
            folder = storeFolder;
            const std::lock_guard guard(g_batchMutex);
            g_batchFolders.insert(folder.native());
        }
        return *lock;
    }
    // Drops the pending save at `index` of changes, and its temporary.
    void cancel(std::size_t index) {
        Change& change = changes[index];
        ::unlink(change.staged.temporary.c_str());
        temporaries.erase(change.staged.temporary.filename().native());
        saved.erase(change.name);
        change.cancelled = true;
    }
    // Removes every temporary not yet put in place.
    void discard() {
        for (const Change& change : changes) {
            if (!change.cancelled && !change.staged.temporary.empty())
                ::unlink(change.staged.temporary.c_str());
        }
        changes.clear();
        saved.clear();
        touched.clear();
        temporaries.clear();
    }

    fs::path folder;
    std::optional<FolderLock> lock;
    std::vector<Change> changes;                        // in the order they were asked for
    std::unordered_map<std::string, std::size_t> saved; // task name → its pending save in changes
    std::unordered_set<std::string> temporaries;        // file names of the pending saves' temporaries
    // Every task the batch changed, by key: whether it exists once the batch is applied.
    std::unordered_map<std::string, std::unordered_map<std::string, bool>> touched;
};

namespace {

// The lock for one step: the batch's exclusive lock while it holds one, else one of its own.
class StepLock {
public:
    StepLock(const fs::path& folder, const StoreBatch* batch, int operation)
        : held_(batch && batch->lock ? &*batch->lock : &own_.emplace(folder, operation)) {}
    const FolderLock& operator*() const { return *held_; }

private:
    std::optional<FolderLock> own_;
    const FolderLock* held_;
};

// Whether the task file of `name` exists once the open batch is applied; nothing when the batch leaves it
// as it is.
std::optional<bool> presentAfter(const StoreBatch* batch, const std::string& key, const std::string& name) {
    if (batch) {
        if (const auto names = batch->touched.find(key); names != batch->touched.end()) {
            if (const auto it = names->second.find(name); it != names->second.end())
                return it->second;
        }
    }
    return std::nullopt;
}

// Whether the task file of `name` exists once the open batch (if any) is applied.
bool existsNow(const StoreBatch* batch, const std::string& key, const std::string& name,
               const fs::path& file) {
    if (const std::optional<bool> present = presentAfter(batch, key, name))
        return *present;
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0;
}

// The stored names with that key once the open batch (if any) is applied.
std::vector<std::string> namesNow(const fs::path& folder, const FolderLock& lock, const StoreBatch* batch,
                                  const std::string& key) {
    std::vector<std::string> names = namesWithKey(folder, lock, key, batch ? &batch->temporaries : nullptr);
    if (!batch)
        return names;
    const auto touched = batch->touched.find(key);
    if (touched == batch->touched.end())
        return names;
    std::erase_if(names, [&](const std::string& name) { return touched->second.count(name) != 0; });
    for (const auto& [name, present] : touched->second) {
        if (present)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
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
            (!readFile(jobFile(folder, other), content, problem, readCode) ||
             !ReadJob(content, ignored, problem)))
            throw BrioError(err::PathFileAccess, "el archivo de tarea «" + jobFile(folder, other).string() +
                                                     "» no se puede leer y no se reemplaza: " + problem);
        if (other != name)
            replaced.push_back(std::move(other));
    }
    return replaced;
}

// Reads the task file of `name` into `task`, through the parse cache. False when the task is left out:
// its file went away since it was listed (silently), or it cannot be read as a task (told in `warnings`).
bool readTask(const fs::path& file, const std::string& name, StoredTask& task, std::string& content,
              std::vector<std::string>& warnings) {
    if (std::string bad = TaskNameProblem(name); !bad.empty()) {
        warnings.push_back("Se omite el archivo de tarea «" + file.string() + "»: " + bad);
        return false;
    }
    bool cached = false;
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
        const std::lock_guard guard(g_cacheMutex);
        const auto hit = g_parsed.find(file.native());
        if (hit != g_parsed.end() && stillValid(hit->second, stampOf(info))) {
            task.job = hit->second.job;
            cached = true;
        }
    }
    if (!cached) {
        std::string problem;
        int readCode = 0;
        Stamp read;
        if (!readFile(file, content, problem, readCode, &read) || !ReadJob(content, task.job, problem)) {
            if (readCode == ENOENT)
                return false; // removed by another program between the listing and the read
            warnings.push_back("No se puede leer el archivo de tarea «" + file.string() + "»: " + problem);
            return false;
        }
        ++g_filesRead;
        const std::lock_guard guard(g_cacheMutex);
        g_parsed[file.native()] = ParsedJob{read, task.job, wallNow()};
    }
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
    return jobFile(folder_, name);
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
        if (!forEachTaskFile(folder_, code, [&](std::string_view name) { names.emplace_back(name); }))
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
        const bool removed = presentAfter(batch_.get(), key, name) == std::optional<bool>(false);
        if (!removed && readTask(fileOf(name), name, task, content, warnings)) {
            found = std::move(task);
        } else {
            // Another spelling of the name, in the enumeration's order.
            std::vector<std::string> others = namesNow(folder_, *lock, batch_.get(), key);
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
    if (existsNow(batch_.get(), key, name, fileOf(name)))
        return name;
    const StepLock lock(folder_, batch_.get(), LOCK_SH);
    std::vector<std::string> taken = namesNow(folder_, *lock, batch_.get(), key);
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
    noteChange(folder_, lock, {}, {task->name});
    return true;
}

StoreCounters StoreFolder::Counters() {
    return {g_refreshes, g_filesRead, g_lookups, g_flushes};
}

bool StoreFolder::AcceptedBefore(const std::string& user, const std::string& password) const {
    return !acceptedUser_.empty() && user == acceptedUser_ && password == acceptedPassword_.str();
}

void StoreFolder::RememberAccepted(const std::string& user, const std::string& password) {
    acceptedUser_ = user;
    acceptedPassword_.assign(password);
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
                replacedBy(folder_, name, mode, namesWithKey(folder_, lock, TaskNameKey(name)), nullptr);
        }
        // The old file stays in place until the new one is complete and renamed over it.
        WriteFileAtomically(file, content, 0600, Durability::Deferred);
        unflushed_ = true;
        for (const std::string& other : replaced) {
            if (::unlink(fileOf(other).c_str()) != 0 && errno != ENOENT)
                fail("no se puede eliminar la tarea reemplazada", fileOf(other), errno);
        }
        noteChange(folder_, lock, {name}, replaced);
        struct stat written {};
        if (::stat(file.c_str(), &written) == 0) {
            const std::lock_guard guard(g_cacheMutex);
            g_parsed[file.native()] = ParsedJob{stampOf(written), job, wallNow()};
        }
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
        noteChange(folder_, lock, {}, {tasks_.at(position).name});
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
    if (batch_->temporaries.size() >= kMostPending)
        applyBatch(); // the batch goes on, with fewer files waiting
    StoreBatch& batch = *batch_;
    const FolderLock& lock = batch.exclusive(folder_);
    const fs::path file = fileOf(name);
    const std::string key = TaskNameKey(name);
    std::vector<std::string> replaced;
    if (mode != SaveMode::Rewrite || !existsNow(&batch, key, name, file))
        replaced = replacedBy(folder_, name, mode, namesNow(folder_, lock, &batch, key), &batch);
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
        keepListing(folder_, lock, stampOf(before));
    unflushed_ = true;
    {
        const std::lock_guard guard(g_cacheMutex);
        g_parsed[file.native()] = ParsedJob{Stamp{}, job}; // the file's stamp is known once it is in place
    }
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
        keepListing(folder_, lock, stampOf(before));
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
        noteChange(folder_, lock, added, removed);
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
    const std::lock_guard guard(g_cacheMutex);
    for (const auto& [name, there] : present) {
        struct stat info {};
        const auto cached = g_parsed.find(fileOf(name).native());
        if (there && cached != g_parsed.end() && ::stat(fileOf(name).c_str(), &info) == 0) {
            cached->second.stamp = stampOf(info);
            cached->second.cachedAt = wallNow();
        }
    }
}

} // namespace brio
