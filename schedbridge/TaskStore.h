#pragma once

#include "SchedBridge.h"
#include "StoreFolder.h"

#include <filesystem>
#include <memory>

namespace brio {

class AcceptedAccount;

// The host's scheduler as BrioSchedule sees it: a folder of task files, one "<name>.job" per task.
// Enumeration is by upper-cased name, then name; names are unique without regard to letter case. Work on
// named tasks (Item by name, Find, Remove, NewTask) needs no Refresh: before one, it reads only the files
// of the names it is given.
class TaskStore : public SchedBridge {
public:
    // A store on `folder`; nothing is read or created before Refresh or a write.
    explicit TaskStore(std::filesystem::path folder = DefaultFolder());
    ~TaskStore() override;

    // $BRIOSCHEDULE_TASKS when set; else /var/lib/brioschedule/tasks when this process may write there;
    // else ${XDG_DATA_HOME:-$HOME/.local/share}/brioschedule/tasks.
    static std::filesystem::path DefaultFolder();
    const std::filesystem::path& Folder() const noexcept;

    void Refresh() override;
    int Count() const override;
    SchedTaskPtr Item(int index) override;
    SchedTaskPtr Item(const std::string& name) override;
    SchedTaskPtr NewTask(const std::string& name) override;
    SchedTaskPtr ReplaceTask(const std::string& name) override;
    void Delete(int index) override;
    std::vector<std::string> Warnings() const override;
    SchedTaskPtr Find(const std::string& name) override;
    bool Remove(const std::string& name) override;
    void Flush() override;
    void BeginBatch() override;

    // What the task stores of this process have read so far.
    static StoreCounters Counters();

private:
    void checkIndex(int index) const;

    std::shared_ptr<StoreFolder> store_;
    std::shared_ptr<AcceptedAccount> accepted_;
};

// Makes task stores on `folder`; an empty folder means DefaultFolder() at the time each is made.
SchedBridgeFactory MakeTaskStoreFactory(std::filesystem::path folder = {});

} // namespace brio
