#pragma once

#include "JobFile.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brio {

// How Save stores a task's file.
enum class SaveMode {
    New,     // the name must not be taken in any letter case
    Replace, // takes the place of the task of that name in any letter case, or is new
    Rewrite, // the task's own file is written again
};

// What the task stores of this process have read so far; tests count them per command.
struct StoreCounters {
    std::uint64_t refreshes = 0; // whole reads of a folder (every task file, through the parse cache)
    std::uint64_t filesRead = 0; // task files read and parsed from disk
    std::uint64_t lookups = 0;   // single tasks looked up by name without a whole read
    std::uint64_t flushes = 0;   // waits for the disk after saves and removals
};

struct StoreBatch;

// One task as the last Refresh read it.
struct StoredTask {
    std::string name; // the file's name without ".job"
    std::string key;  // TaskNameKey(name), the enumeration's first sort key
    JobData job;
};

// The task store's folder on disk and the tasks one scheduler object last read from it. Every read is
// done under a shared lock and every write under an exclusive lock on "<folder>/.lock", so several
// processes never see or leave half a change. The object's own writes update its list of tasks, so it
// always enumerates what a new Refresh would read (as long as no other process changes the folder).
class StoreFolder {
public:
    explicit StoreFolder(std::filesystem::path folder);
    // Brings what is still unflushed to the disk; a failure then can only be ignored.
    ~StoreFolder();
    StoreFolder(const StoreFolder&) = delete;
    StoreFolder& operator=(const StoreFolder&) = delete;

    const std::filesystem::path& folder() const noexcept { return folder_; }

    // Reads every task file once; files that cannot be read are left out and told in warnings().
    void Refresh();
    const std::vector<StoredTask>& tasks() const noexcept { return tasks_; }
    const std::vector<std::string>& warnings() const noexcept { return warnings_; }

    // The position in tasks() of the task with that name, without regard to letter case (an exact
    // match wins over another spelling); -1 when there is none.
    int Find(const std::string& name) const;

    // The task of that name as Find finds it after a Refresh. Before any Refresh only that task's file
    // is read, and the folder's names are listed only when no file has that exact name; a file that
    // cannot be read is left out and told on standard error, as Refresh does.
    std::optional<StoredTask> Lookup(const std::string& name);
    // The stored spelling of a name that is taken in any letter case, readable or not, or nothing;
    // before any Refresh without reading a task file.
    std::optional<std::string> TakenName(const std::string& name);
    // Removes the task Lookup finds; false when there is none.
    bool Remove(const std::string& name);

    static StoreCounters Counters();

    // Writes the task's file. A new task (or one whose file has gone) must not take the name of a
    // stored one in any letter case: that is error -2147024816 and writes nothing. A replacing task's
    // file is in place before the file of the task it replaces (spelt otherwise) is removed.
    void Save(const std::string& name, const JobData& job, SaveMode mode);

    // Removes the file of the task at `position` of tasks().
    void Delete(std::size_t position);

    // Saves and removals are in place at once, for every process, but reach the disk together: here, or
    // when the object ends. One command changing many tasks so waits for the disk once. Flush also ends
    // an open batch, applying everything it holds.
    void Flush();

    // Opens a batch, for one command over many tasks. From its first change to its end (Flush, or the
    // object's end) the folder's exclusive lock is held; a save only writes its task's temporary and
    // every save and removal waits. At the end the temporaries' data reaches the disk in one wait, then
    // the changes are put in place in their order. Other processes see none of it before the end; this
    // object's reads see its changes at once. A Refresh, or a batch grown large, puts what waits in place
    // early and goes on. A process killed part way leaves only temporaries, which the next writer removes.
    void BeginBatch();

private:
    std::filesystem::path fileOf(const std::string& name) const;
    void ensureFolder() const;
    void remember(const std::string& name, const JobData& job, const std::vector<std::string>& replaced);
    void forget(const std::string& name);
    // The batch's side of Save, Remove and Delete, and its end.
    void saveInBatch(const std::string& name, const JobData& job, SaveMode mode, const std::string& content);
    void removeInBatch(const std::string& name);
    void applyBatch();
    // A task this batch saved, from the object's own list.
    std::optional<StoredTask> batchTask(const std::string& name) const;

    std::filesystem::path folder_;
    bool refreshed_ = false; // tasks_ holds the whole folder as a Refresh read it
    std::vector<StoredTask> tasks_;
    std::vector<std::string> warnings_;
    bool unflushed_ = false;            // a save or removal has not reached the disk yet
    std::unique_ptr<StoreBatch> batch_; // the open batch, if any
};

} // namespace brio
