#pragma once

#include "AdminListFile.h"
#include "SchedBridge.h"
#include "SecretString.h"
#include "UserMessages.h"

#include <cstdint>
#include <functional>
#include <string>

class QObject;

namespace brio {

class ListEntryIndex;

// The administration object: the list file (AdminListFile) and the scheduler, kept in step.
// Each operation, also one over many names, makes one scheduler object and loads the list file at most
// once (saving it at most once); nothing stays open between operations. Operations over several names
// stop at the first failing name, keep what was done before it, and say how far they got in `progress`.
class clsAdminTask : public AdminListFile {
public:
    clsAdminTask(std::filesystem::path programFolder, SchedBridgeFactory scheduler,
                 HostPaths paths = HostPaths::FromEnvironment());

    // The account applied to scheduler tasks; empty until set.
    const std::string& strUser() const noexcept { return user_; }
    void setStrUser(const std::string& value) { user_ = value; }
    // The password is kept in a self-wiping buffer; the reference is valid until the next change.
    const std::string& strPwd() const noexcept { return pwd_.str(); }
    void setStrPwd(const std::string& value) { pwd_.assign(value); }
    // The window whose modal dialogs the property editor is shown over.
    void setOwner(QObject* owner) { owner_ = owner; }
    // Where the few messages the object shows itself go (a refused logon, a failed warehouse query).
    void setMessageSink(MessageSink sink) { messages_ = std::move(sink); }

    // True when the host's logon accepts the pair; with blnShowErroMsg a refusal is reported to the user.
    bool VerifyAccountInfo(const std::string& user, const std::string& pwd, bool blnShowErroMsg = false);

    // Every scheduler task as a record, in enumeration order. `each`, when given, sees each task as its
    // record is made, in the same pass (the listing's next run times come from it).
    TareaList getSystemTaskList(const std::function<void(const SchedTask&)>& each = {});
    // What the scheduler could not read in the last getSystemTaskList (one Spanish line each); those
    // tasks were left out of the list.
    const std::vector<std::string>& SchedulerWarnings() const noexcept { return warnings_; }
    // The 1-based position of the task (without regard to case), or -1.
    int getSystemTaskIndex(const std::string& TaskName);

    // Creates or replaces the scheduler task of each name from its list entry.
    void Export(const NameList& TaskList, NameProgress* progress = nullptr);
    // Copies the named scheduler tasks into the list file.
    void Import(const NameList& TaskList, NameProgress* progress = nullptr);
    // Writes one scheduler task into the list file as a complete entry, replacing one of the same name.
    void XMLAdd(SchedTask& otask, const std::string& strTaskName = {});

    using AdminListFile::RemoveBrioTask;
    // Removes the entry and, with blnRemoveFromSystem, the scheduler task of the same name.
    void RemoveBrioTask(const std::string& TaskName, bool blnRemoveFromSystem);
    void RemoveBrioTasks(const NameList& names, bool blnRemoveFromSystem,
                         MissingEntry missing = MissingEntry::Skip, NameProgress* progress = nullptr);
    // Edits the entry through a disabled temporary scheduler task named TaskName + "_".
    void TaskBrioEdit(const std::string& TaskName, bool blnUpdateSystem = false);

    // Sets or clears the disabled or hidden bit of one scheduler task.
    void SetTaskAttr(const std::string& TaskName, const std::string& AttrName, const std::string& value);
    void SetTaskAttrs(const NameList& names, const std::string& AttrName, const std::string& value,
                      NameProgress* progress = nullptr);
    void RemoveSystemTask(const std::string& TaskName);
    void RemoveSystemTasks(const NameList& names, NameProgress* progress = nullptr);
    void TaskSystemEdit(const std::string& TaskName);
    void SystemRandomTime(const NameList& TaskList, std::int16_t intMinutes);
    void SetPasswordAllTask();

    // One launcher task and batch file per remote warehouse of the suite's database.
    void GenerarTareasHarbinex();

    // Creates (or replaces) the scheduler task `strTaskName` (default TaskName) from the list entry
    // TaskName and saves it; nullptr when there is no list file.
    SchedTaskPtr SystemAdd(const std::string& TaskName, const std::string& strTaskName = {});

    // The trigger type's name in the list file ("Once", "DailyTrigger", ...); empty outside 0..7.
    static std::string TriggerTypeName(std::int32_t type);

protected:
    // A scheduler object, refreshed for walking the enumeration.
    std::unique_ptr<SchedBridge> NewBridge() const;
    // A scheduler object for work on named tasks only: not refreshed, so it reads just those tasks.
    std::unique_ptr<SchedBridge> OpenBridge() const;
    // SystemAdd on a scheduler object and a loaded list the caller owns (`listExists` false: no list);
    // a caller adding many tasks passes its index of the list, which then finds the entry.
    SchedTaskPtr SystemAddWith(SchedBridge& bridge, const ListDocument& doc, bool listExists,
                               const std::string& TaskName, const std::string& strTaskName,
                               const ListEntryIndex* index = nullptr);

private:
    SchedBridgeFactory factory_;
    std::string user_;
    SecretString pwd_;
    QObject* owner_ = nullptr;
    MessageSink messages_;
    std::vector<std::string> warnings_;
};

} // namespace brio
