#include "clsAdminTask.h"

#include "AccountCheck.h"
#include "BrioError.h"
#include "BrioRandom.h"
#include "Conversions.h"
#include "ListDocument.h"
#include "ListEntryFields.h"
#include "ListEntryIndex.h"

#include <QString>

#include <cmath>
#include <optional>
#include <string_view>

namespace brio {

namespace {

std::string upperName(const std::string& name) {
    return QString::fromStdString(name).toUpper().toStdString();
}

// The random start shift in whole minutes, from -n to n - 1, drawn from the one generator.
int randomShift(std::int16_t n) {
    const int twice = 2 * n;
    if (twice > 32767 || twice < -32768)
        throw BrioError(err::Overflow);
    return static_cast<int>(std::floor(twice * Rnd() - n));
}

int indexIn(SchedBridge& bridge, const std::string& name) {
    const std::string wanted = upperName(name);
    const int count = bridge.Count();
    for (int i = 1; i <= count; ++i) {
        if (upperName(bridge.Item(i)->Name()) == wanted)
            return i;
    }
    return -1;
}

// The task of that name; a name the scheduler does not hold is error 9, as its position -1 would be, but
// the message names the task.
SchedTaskPtr findTask(SchedBridge& bridge, const std::string& name) {
    SchedTaskPtr task = bridge.Find(name);
    if (!task)
        throw BrioError(err::SubscriptOutOfRange, "no existe la tarea «" + name + "» en el programador");
    return task;
}

void removeTask(SchedBridge& bridge, const std::string& name) {
    if (!bridge.Remove(name))
        throw BrioError(err::SubscriptOutOfRange, "no existe la tarea «" + name + "» en el programador");
}

void setAttr(pugi::xml_node node, const char* name, const std::string& value) {
    node.append_attribute(name).set_value(value.c_str());
}

void WriteConfigElement(pugi::xml_node entry, const SchedTask& task) {
    pugi::xml_node config = entry.append_child("CONFIGURACION");
    for (const FlagAttr& f : kConfigFlags)
        setAttr(config, f.name, (task.Flags() & f.bit) == f.bit ? "1" : "0");
    setAttr(entry, "disabled", (task.Flags() & taskflag::disabled) ? "1" : "0");
}

void WriteTriggerElements(pugi::xml_node entry, const SchedTask& task) {
    const SchedTriggers& triggers = task.Triggers();
    if (triggers.Count() == 0)
        return;
    pugi::xml_node all = entry.append_child("TRIGGERS");
    for (const SchedTrigger& t : triggers.items()) {
        pugi::xml_node e = all.append_child("TRIGGER");
        setAttr(e, "triggerType", CStr(t.TriggerType()));
        setAttr(e, "typeDescription", clsAdminTask::TriggerTypeName(t.TriggerType()));
        setAttr(e, "BeginDay", DateToText(t.BeginDay()));
        setAttr(e, "StartTime", DateToText(t.StartTime()));
        setAttr(e, "Duration", CStr(t.Duration()));
        setAttr(e, "EndDay", DateToText(t.EndDay()));
        setAttr(e, "Interval", CStr(t.Interval()));
        setAttr(e, "Flags", CStr(t.Flags()));
        setAttr(e, "RandomInterval", CStr(t.RandomInterval()));
        pugi::xml_attribute text = entry.attribute("text");
        if (!text)
            text = entry.append_attribute("text");
        text.set_value(t.Text().c_str()); // each trigger overwrites it: the entry keeps the last one's
        switch (t.TriggerType()) {
        case trigger::Daily:
            setAttr(e, "Daily_Interval", CStr(t.Daily_Interval()));
            break;
        case trigger::Weekly:
            setAttr(e, "Weekly_DaysOfTheWeek", CStr(t.Weekly_DaysOfTheWeek()));
            setAttr(e, "Weekly_Interval", CStr(t.Weekly_Interval()));
            break;
        case trigger::MonthlyDate:
            setAttr(e, "MonthlyDate_Day", CStr(t.MonthlyDate_Day()));
            setAttr(e, "MonthlyDate_Months", CStr(t.MonthlyDate_Months()));
            break;
        case trigger::MonthlyDOW:
            setAttr(e, "MonthlyDOW_DaysOfTheWeek", CStr(t.MonthlyDOW_DaysOfTheWeek()));
            setAttr(e, "MonthlyDOW_Months", CStr(t.MonthlyDOW_Months()));
            setAttr(e, "MonthlyDOW_Week", CStr(t.MonthlyDOW_Week()));
            break;
        default:
            break;
        }
    }
}

// The attributes of an entry the property dialog shows and an edit rebuilds; every other one stays.
bool shownByTheDialog(std::string_view attr) {
    return attr == "name" || attr == "applicationName" || attr == "workingDirectory" ||
           attr == "commandLine" || attr == "disabled" || attr == "text";
}

// Rebuilds the entry `name` from the task in the entry's own place, with the enabled state the person
// chose. What the dialog does not show (the random range, the marks and saved selections, the hidden
// setting, attributes it does not know) stays as the entry had it.
void rebuildEntryInPlace(ListDocument& doc, const SchedTask& task, const std::string& name, bool enabled) {
    const pugi::xml_node old = doc.FindEntry(name);
    if (!old)
        throw BrioError(err::SubscriptOutOfRange, "la tarea «" + name + "» no está en el listado");
    pugi::xml_document scratch;
    pugi::xml_node entry = scratch.append_child("TAREA");
    setAttr(entry, "name", name);
    setAttr(entry, "applicationName", task.ApplicationName());
    setAttr(entry, "workingDirectory", task.WorkingDirectory());
    setAttr(entry, "commandLine", task.Parameters());
    WriteConfigElement(entry, task);
    WriteTriggerElements(entry, task);
    for (const pugi::xml_attribute a : old.attributes()) {
        if (shownByTheDialog(a.name()))
            continue;
        pugi::xml_attribute kept = entry.attribute(a.name());
        (kept ? kept : entry.append_attribute(a.name())).set_value(a.value());
    }
    pugi::xml_node config = entry.child("CONFIGURACION");
    for (const pugi::xml_attribute a : old.child("CONFIGURACION").attributes()) {
        if (std::string_view(a.name()) == "hidden" || !config.attribute(a.name()))
            (config.attribute(a.name()) ? config.attribute(a.name()) : config.append_attribute(a.name()))
                .set_value(a.value());
    }
    const char* disabled = enabled ? "0" : "1";
    entry.attribute("disabled").set_value(disabled);
    config.attribute("disabled").set_value(disabled);
    old.parent().insert_copy_before(entry, old);
    old.parent().remove_child(old);
}

// Flags are only ever added, hidden never; a missing or unreadable attribute ends the worker.
void SystemSetFlags(pugi::xml_node entry, SchedTask& task) {
    pugi::xml_node config = entry.child("CONFIGURACION");
    if (!config)
        return;
    for (const FlagAttr& f : kConfigFlags) {
        if (f.bit == taskflag::hidden)
            continue;
        if (CBool(RequiredAttr(config, f.name)))
            task.setFlags(task.Flags() | f.bit);
    }
}

// With `shifted`, each start moves at random within the entry's range, as an export does.
void SystemAddTriggers(pugi::xml_node entry, SchedTask& task, bool shifted) {
    for (pugi::xml_node e = entry.child("TRIGGERS").child("TRIGGER"); e; e = e.next_sibling("TRIGGER")) {
        ReadTriggerElement(e, task.Triggers().Add(), [entry, shifted](const QDateTime& start) {
            if (!shifted)
                return start;
            const std::int16_t range = CInt(Val(entry.attribute("StartTimeRandom").value()));
            return range >= 1 && start.isValid() ? start.addSecs(60LL * randomShift(range)) : start;
        });
    }
}

// Runs a step whose failure, while failures are suppressed, is skipped.
template <typename Fn> void step(bool suppressed, Fn&& fn) {
    if (!suppressed) {
        fn();
        return;
    }
    try {
        fn();
    } catch (const BrioError&) {
    }
}

} // namespace

clsAdminTask::clsAdminTask(std::filesystem::path programFolder, SchedBridgeFactory scheduler, HostPaths paths)
    : AdminListFile(std::move(programFolder), std::move(paths)), factory_(std::move(scheduler)) {}

std::unique_ptr<SchedBridge> clsAdminTask::OpenBridge() const {
    if (!factory_)
        throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
    std::unique_ptr<SchedBridge> bridge = factory_();
    if (!bridge)
        throw BrioError(err::ObjectNotSet, "no hay un programador de tareas disponible");
    return bridge;
}

std::unique_ptr<SchedBridge> clsAdminTask::NewBridge() const {
    std::unique_ptr<SchedBridge> bridge = OpenBridge();
    bridge->Refresh();
    return bridge;
}

bool clsAdminTask::VerifyAccountInfo(const std::string& user, const std::string& pwd, bool blnShowErroMsg) {
    const bool accepted = ValidateLogon(user, "", pwd);
    if (!accepted && blnShowErroMsg && messages_)
        messages_("Usuario o contraseña no válido", "Error", MsgIcon::Critical);
    return accepted;
}

std::string clsAdminTask::TriggerTypeName(std::int32_t type) {
    static const char* const names[] = {"Once",           "DailyTrigger", "WeeklyTrigger", "MONTHLYDATE",
                                        "MonthlyWeekDay", "OnIdle",       "AtSystemStart", "AtLogon"};
    return type >= 0 && type <= 7 ? names[type] : "";
}

TareaList clsAdminTask::getSystemTaskList(const std::function<void(const SchedTask&)>& each) {
    auto bridge = NewBridge();
    warnings_ = bridge->Warnings();
    TareaList result;
    const int count = bridge->Count();
    result.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const SchedTaskPtr task = bridge->Item(i);
        clsTarea& record = result.emplace_back();
        record.setName(task->Name());
        record.setApplicationName(task->ApplicationName());
        record.setState(1);
        record.setEnabled((task->Flags() & taskflag::disabled) == 0);
        if (task->Triggers().Count() >= 1)
            record.setText(task->Triggers().Item(1).Text());
        if (each)
            each(*task);
    }
    return result;
}

int clsAdminTask::getSystemTaskIndex(const std::string& TaskName) {
    auto bridge = NewBridge();
    return indexIn(*bridge, TaskName);
}

// The worker behind SystemAdd and Export, on a scheduler object and a loaded list the caller owns; with
// many names, the caller's index of the list finds each entry.
static SchedTaskPtr systemAddWith(SchedBridge& bridge, const ListDocument& doc, bool listExists,
                                  const std::string& TaskName, const std::string& strTaskName,
                                  std::string& user, SecretString& pwd, const ListEntryIndex* index = nullptr,
                                  bool shifted = true) {
    const std::string systemName = strTaskName.empty() ? TaskName : strTaskName;
    bool suppressed = true;
    SchedTaskPtr task;
    try {
        task = bridge.NewTask(systemName);
    } catch (const BrioError& e) {
        if (e.number() != err::FileExists)
            throw; // a name the scheduler cannot take: nothing was created, so nothing may be reported as
                   // done
        // A task of that name exists: from here every failure reaches the caller, and the old task stays
        // until the new one is saved in its place.
        suppressed = false;
        task = bridge.ReplaceTask(systemName);
    }
    if (!listExists)
        return nullptr;
    if (pugi::xml_node entry = index ? index->Find(TaskName) : doc.FindEntry(TaskName)) {
        step(suppressed, [&] { task->setApplicationName(RequiredAttr(entry, "applicationName")); });
        step(suppressed, [&] { task->setWorkingDirectory(RequiredAttr(entry, "workingDirectory")); });
        step(suppressed, [&] { task->setParameters(RequiredAttr(entry, "commandLine")); });
        step(suppressed, [&] { SystemSetFlags(entry, *task); });
        step(suppressed, [&] { SystemAddTriggers(entry, *task, shifted); });
    }
    if (!user.empty()) {
        try {
            task->SetAccountInformation(user, pwd.str());
        } catch (const BrioError&) {
            if (suppressed) {
                user.clear();
                pwd.clear();
            }
            throw;
        }
    }
    task->Save(0); // a failing save is always reported: an unsaved task is never a success
    return task;
}

SchedTaskPtr clsAdminTask::SystemAddWith(SchedBridge& bridge, const ListDocument& doc, bool listExists,
                                         const std::string& TaskName, const std::string& strTaskName,
                                         const ListEntryIndex* index) {
    return systemAddWith(bridge, doc, listExists, TaskName, strTaskName, user_, pwd_, index);
}

SchedTaskPtr clsAdminTask::SystemAdd(const std::string& TaskName, const std::string& strTaskName) {
    auto bridge = OpenBridge();
    ListDocument doc(ListFilePath());
    const bool exists = ListFileExists();
    if (exists)
        doc.Load(ListDocument::Use::Read);
    return systemAddWith(*bridge, doc, exists, TaskName, strTaskName, user_, pwd_);
}

void clsAdminTask::Export(const NameList& TaskList, NameProgress* progress) {
    if (IsArrayEmpty(TaskList))
        return;
    // One scheduler object and one load of the list for the whole run; the list does not change.
    auto bridge = OpenBridge();
    ListDocument doc(ListFilePath());
    const bool exists = ListFileExists();
    if (exists)
        doc.Load(ListDocument::Use::Read); // only read: the list file does not change
    const ListEntryIndex index(doc, TaskList);
    const SchedBatch batch(*bridge);
    ForEachName(TaskList.size(), progress, [&](std::size_t i) {
        systemAddWith(*bridge, doc, exists, TaskList[i], {}, user_, pwd_, &index);
    });
    bridge->Flush();
}

// Builds the entry of one scheduler task and puts it in place of the first entry of that name, as the
// list's last entry.
static void addEntry(ListDocument& doc, ListEntryIndex& index, const SchedTask& otask,
                     const std::string& strTaskName, const std::filesystem::path& listFile) {
    const std::string name = strTaskName.empty() ? otask.Name() : strTaskName;
    pugi::xml_document scratch; // the new entry is built apart and attached at the end
    pugi::xml_node entry = scratch.append_child("TAREA");
    setAttr(entry, "name", name);
    setAttr(entry, "applicationName", otask.ApplicationName());
    setAttr(entry, "workingDirectory", otask.WorkingDirectory());
    setAttr(entry, "commandLine", otask.Parameters());
    setAttr(entry, "selected", "0");
    WriteConfigElement(entry, otask);
    WriteTriggerElements(entry, otask);

    if (!doc.Root())
        throw BrioError(err::ObjectNotSet,
                        "el listado «" + listFile.string() + "» no tiene el elemento TAREAS");
    if (pugi::xml_node old = index.Find(name))
        index.Remove(old);
    index.Append(entry);
}

void clsAdminTask::XMLAdd(SchedTask& otask, const std::string& strTaskName) {
    EditList(
        [&](ListDocument& doc, bool& changed) {
            ListEntryIndex index(doc, 1);
            addEntry(doc, index, otask, strTaskName, ListFilePath());
            changed = true;
        },
        true);
}

void clsAdminTask::Import(const NameList& TaskList, NameProgress* progress) {
    if (IsArrayEmpty(TaskList))
        return;
    auto bridge = OpenBridge();
    EditList(
        [&](ListDocument& doc, bool& changed) {
            ListEntryIndex index(doc, TaskList);
            ForEachName(TaskList.size(), progress, [&](std::size_t i) {
                const SchedTaskPtr task = bridge->Item(TaskList[i]);
                addEntry(doc, index, *task, {}, ListFilePath());
                changed = true;
            });
        },
        true, progress);
}

void clsAdminTask::RemoveBrioTask(const std::string& TaskName, bool blnRemoveFromSystem) {
    RemoveBrioTasks({TaskName}, blnRemoveFromSystem);
}

void clsAdminTask::RemoveBrioTasks(const NameList& names, bool blnRemoveFromSystem, MissingEntry missing,
                                   NameProgress* progress) {
    std::unique_ptr<SchedBridge> bridge; // made at its first use, after the first entry is gone
    std::optional<SchedBatch> batch;
    EditList(
        [&](ListDocument& doc, bool& changed) {
            ListEntryIndex index(doc, names);
            ForEachName(names.size(), progress, [&](std::size_t i) {
                const std::string& name = names[i];
                const pugi::xml_node entry = doc.loaded() ? index.Find(name) : pugi::xml_node();
                if (entry) {
                    index.Remove(entry);
                    changed = true;
                } else if (missing == MissingEntry::Fail) {
                    if (!doc.loaded())
                        ThrowNoList();
                    ThrowNotListed(name);
                }
                if (blnRemoveFromSystem) {
                    if (!bridge) {
                        bridge = OpenBridge();
                        batch.emplace(*bridge);
                    }
                    removeTask(*bridge,
                               name); // a task the scheduler does not hold fails after the entry went
                }
            });
        },
        false, progress);
    if (bridge)
        bridge->Flush();
}

void clsAdminTask::TaskBrioEdit(const std::string& TaskName, bool blnUpdateSystem) {
    auto bridge = OpenBridge();
    if (blnUpdateSystem) {
        // Edit the scheduler task itself, then rebuild the entry from it.
        SchedTaskPtr task = findTask(*bridge, TaskName);
        if (!task->EditProperties(owner_))
            return; // cancelled: the entry stays as it was
        XMLAdd(*findTask(*bridge, TaskName), TaskName);
        return;
    }
    const std::string temporary = TaskName + "_";
    SchedTaskPtr created;
    // The dialog shows the entry under its own name and with its own state.
    TaskStandIn standIn{TaskName, true};
    {
        ListDocument doc(ListFilePath());
        const bool exists = ListFileExists();
        if (exists)
            doc.Load(ListDocument::Use::Read);
        if (const char* disabled = AttrOrNull(doc.FindEntry(TaskName), "disabled"); disabled && *disabled) {
            try {
                standIn.enabled = !CBool(disabled);
            } catch (const BrioError&) {
            }
        }
        // The random shift belongs to the export: the copy shows and gives back the entry's own times.
        created = systemAddWith(*bridge, doc, exists, TaskName, temporary, user_, pwd_, nullptr, false);
    }
    if (!created)
        throw BrioError(err::FileNotFound, "no existe el listado «" + ListFilePath().string() + "»");
    try {
        SchedTaskPtr task = findTask(*bridge, temporary); // as stored
        task->setFlags(task->Flags() | taskflag::disabled);
        task->Save(0);
        if (!user_.empty()) {
            try {
                task->SetAccountInformation(user_, pwd_.str());
            } catch (const BrioError&) {
                user_.clear();
                pwd_.clear();
                throw;
            }
        }
        // The copy stays disabled whatever the person chooses, so that it never runs; the entry gets the
        // choice, in its own place. Cancel leaves the entry exactly as it was.
        TaskEditor* editor = RegisteredTaskEditor();
        if (!editor)
            throw BrioError(err::InvalidCall, "no hay un editor de propiedades de tareas disponible");
        if (editor->EditStandIn(*task, owner_, standIn)) {
            task->Save(0);
            EditList([&](ListDocument& doc, bool& changed) {
                rebuildEntryInPlace(doc, *task, TaskName, standIn.enabled);
                changed = true;
            });
        }
        removeTask(*bridge, temporary);
        bridge->Flush();
    } catch (...) {
        // No disabled copy is ever left behind.
        try {
            OpenBridge()->Remove(temporary);
        } catch (const BrioError&) {
        }
        throw;
    }
}

void clsAdminTask::SetTaskAttr(const std::string& TaskName, const std::string& AttrName,
                               const std::string& value) {
    SetTaskAttrs({TaskName}, AttrName, value);
}

void clsAdminTask::SetTaskAttrs(const NameList& names, const std::string& AttrName, const std::string& value,
                                NameProgress* progress) {
    auto bridge = OpenBridge();
    const SchedBatch batch(*bridge);
    const std::string attr = upperName(AttrName);
    const std::int32_t bit = attr == "DISABLED" ? taskflag::disabled
                             : attr == "HIDDEN" ? taskflag::hidden
                                                : 0;
    ForEachName(names.size(), progress, [&](std::size_t i) {
        SchedTaskPtr task = findTask(*bridge, names[i]); // looked up before the attribute name counts
        if (bit == 0)
            return;
        if (CBool(value))
            task->setFlags(task->Flags() | bit);
        else
            task->setFlags(task->Flags() & ~bit);
        task->Save(0);
    });
    bridge->Flush();
}

void clsAdminTask::RemoveSystemTask(const std::string& TaskName) {
    RemoveSystemTasks({TaskName});
}

void clsAdminTask::RemoveSystemTasks(const NameList& names, NameProgress* progress) {
    auto bridge = OpenBridge();
    const SchedBatch batch(*bridge);
    ForEachName(names.size(), progress, [&](std::size_t i) { removeTask(*bridge, names[i]); });
    bridge->Flush();
}

void clsAdminTask::TaskSystemEdit(const std::string& TaskName) {
    findTask(*OpenBridge(), TaskName)->EditProperties(owner_);
}

void clsAdminTask::SystemRandomTime(const NameList& TaskList, std::int16_t intMinutes) {
    if (IsArrayEmpty(TaskList))
        return;
    Randomize();
    auto bridge = NewBridge();
    const SchedBatch batch(*bridge);
    for (const std::string& name : TaskList) {
        SchedTaskPtr task = bridge->Item(name);
        SchedTrigger& first = task->Triggers().Item(1);
        if (first.TriggerType() == trigger::Daily && first.Interval() == 0) {
            first.setStartTime(first.StartTime().addSecs(60LL * randomShift(intMinutes)));
            task->Save(0);
        }
    }
    bridge->Flush();
}

void clsAdminTask::SetPasswordAllTask() {
    auto bridge = NewBridge();
    const SchedBatch batch(*bridge);
    const int count = bridge->Count();
    for (int i = 1; i <= count; ++i) {
        SchedTaskPtr task = bridge->Item(i);
        task->SetAccountInformation(user_, pwd_.str());
        task->Save(0);
    }
    bridge->Flush();
}

} // namespace brio
