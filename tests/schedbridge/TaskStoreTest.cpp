#include "TaskStore.h"
#include "StoreTask.h"
#include "StoreTestUtil.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace brio;
using namespace brio::test;
namespace fs = std::filesystem;

namespace {

class TaskStoreTest : public ::testing::Test {
protected:
    fs::path folder() const { return dir_ / "tasks"; }

    std::unique_ptr<TaskStore> Open() {
        auto store = std::make_unique<TaskStore>(folder());
        store->Refresh();
        return store;
    }

    void Store(const std::string& name, const std::string& program = "/bin/true") {
        auto store = Open();
        SchedTaskPtr task = store->NewTask(name);
        task->setApplicationName(program);
        task->Save();
    }

    std::vector<std::string> Names() {
        auto store = Open();
        std::vector<std::string> names;
        for (int i = 1; i <= store->Count(); ++i)
            names.push_back(store->Item(i)->Name());
        return names;
    }

    TempDir dir_;
};

JobData EveryField() {
    JobData job;
    job.applicationName = "C:\\BRIO\\VELMORAX\\bin\\run.exe";
    job.parameters = " -x \"a b\" <c> & d\ttab\nline \x01 ñ€ ";
    job.workingDirectory = "C:\\BRIO\\VELMORAX\\bin\\";
    job.flags = taskflag::disabled | taskflag::hidden | taskflag::runOnlyIfLoggedOn;
    SchedTrigger& first = job.triggers.Add();
    first.setTriggerType(trigger::MonthlyDOW);
    first.setBeginDay(MakeDate(2026, 12, 8, 1, 2, 3));
    first.setStartTime(MakeDate(2026, 12, 8, 23, 59, 58).addMSecs(123));
    first.setEndDay(MakeDate(2027, 1, 31));
    first.setDuration(2000);
    first.setInterval(15);
    first.setFlags(triggerflag::hasEndDate | triggerflag::killAtDurationEnd);
    first.setRandomInterval(-32768);
    first.setDaily_Interval(32767);
    first.setWeekly_DaysOfTheWeek(0x7F);
    first.setWeekly_Interval(3);
    first.setMonthlyDate_Day(0x7FFFFFFF);
    first.setMonthlyDate_Months(0xFFF);
    first.setMonthlyDOW_DaysOfTheWeek(34);
    first.setMonthlyDOW_Months(65);
    first.setMonthlyDOW_Week(5);
    job.triggers.Add().setTriggerType(trigger::AtLogon);
    SchedTrigger& third = job.triggers.Add();
    third.setStartTime(QDateTime()); // a date that was never valid stays so
    third.setMonthlyDate_Day(-1);
    return job;
}

TEST_F(TaskStoreTest, TheFirstRefreshMakesAPrivateEmptyStore) {
    auto store = Open();
    EXPECT_EQ(store->Count(), 0);
    struct stat info {};
    ASSERT_EQ(::stat(folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(TaskStoreTest, ANewTaskIsEmptyAndStoredOnlyBySave) {
    auto store = Open();
    SchedTaskPtr task = store->NewTask("Copia nocturna");
    EXPECT_EQ(task->Name(), "Copia nocturna");
    EXPECT_EQ(task->Triggers().Count(), 0);
    EXPECT_EQ(task->Flags(), 0);
    EXPECT_EQ(task->ApplicationName(), "");
    EXPECT_EQ(Open()->Count(), 0);
    EXPECT_FALSE(fs::exists(folder() / "Copia nocturna.job"));

    task->Save();
    struct stat info {};
    ASSERT_EQ(::stat((folder() / "Copia nocturna.job").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(store->Count(), 1); // the object sees its own change, as a new Refresh would
    EXPECT_EQ(Open()->Count(), 1);
}

TEST_F(TaskStoreTest, EveryFieldSurvivesTheRoundTrip) {
    const JobData job = EveryField();
    {
        auto store = Open();
        SchedTaskPtr task = store->NewTask("Tarea completa");
        task->setApplicationName(job.applicationName);
        task->setParameters(job.parameters);
        task->setWorkingDirectory(job.workingDirectory);
        task->setFlags(job.flags);
        task->Triggers() = job.triggers;
        task->Save();
    }
    auto read = std::dynamic_pointer_cast<StoreTask>(Open()->Item("Tarea completa"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Job(), job);

    // A fetched task saved again is rewritten in place with its changes.
    read->setParameters("/nuevo");
    read->Triggers().Remove(2);
    read->Save();
    auto again = std::dynamic_pointer_cast<StoreTask>(Open()->Item("tarea COMPLETA"));
    EXPECT_EQ(again->Parameters(), "/nuevo");
    EXPECT_EQ(again->Triggers().Count(), 2);
    EXPECT_EQ(again->Triggers().Item(2), job.triggers.Item(3));
}

TEST_F(TaskStoreTest, NamesThatAreNotFileNamesAreError52AndWriteNothing) {
    auto store = Open();
    const std::set<std::string> before = Entries(folder());
    const std::vector<std::string> bad{
        "",
        ".",
        "..",
        "../x",
        "a/b",
        "a\\b",
        "x.",
        "x ",
        "a:b",
        "a*b",
        "a?b",
        "a\"b",
        "a<b",
        "a>b",
        "a|b",
        "a\tb",
        "a\nb",
        "\x7f",
        "\xff",
        "a\xc3",
        "\xc0\xaf",
        "\xc2\x85" /* a control character outside ASCII */,
        std::string(201, 'a'),
    };
    for (const std::string& name : bad) {
        std::string description;
        EXPECT_EQ(ErrorOf([&] { store->NewTask(name); }, &description), err::BadFileName) << name;
        EXPECT_GT(description.size(), ErrorDescription(err::BadFileName).size()) << "no reason for " << name;
        EXPECT_EQ(ErrorOf([&] { store->ReplaceTask(name); }), err::BadFileName) << name;
    }
    EXPECT_EQ(Entries(folder()), before);
    EXPECT_FALSE(fs::exists(dir_ / "x.job"));

    // At the limits: 200 bytes, multi-byte letters, a leading dot or blank.
    for (const std::string& name :
         {std::string(200, 'a'), std::string(100, 'a') + std::string(50, 'x') + "ñññññññññññññññññññññññññ",
          std::string(".oculta"), std::string(" inicial"), std::string("Harbinex 01 (Central)")}) {
        ASSERT_LE(name.size(), 200u);
        EXPECT_NO_THROW(store->NewTask(name)->Save()) << name;
    }
    EXPECT_EQ(Open()->Count(), 5);
}

TEST_F(TaskStoreTest, NamesAreUniqueWithoutRegardToLetterCase) {
    Store("Copia Diaria");
    Store("Árbol");
    auto store = Open();
    for (const char* taken : {"Copia Diaria", "COPIA DIARIA", "copia diaria", "ÁRBOL", "árbol"})
        EXPECT_EQ(ErrorOf([&] { store->NewTask(taken); }), err::FileExists) << taken;
    EXPECT_EQ(Open()->Item("COPIA diaria")->Name(), "Copia Diaria");
    EXPECT_EQ(Open()->Item("árbol")->Name(), "Árbol");

    // An object that looked before another one stored the name finds out when it saves, and writes nothing.
    auto early = Open();
    SchedTaskPtr mine = early->NewTask("Informe");
    Store("INFORME", "/bin/otro");
    mine->setApplicationName("/bin/mio");
    EXPECT_EQ(ErrorOf([&] { mine->Save(); }), err::FileExists);
    EXPECT_FALSE(fs::exists(folder() / "Informe.job"));
    EXPECT_EQ(Open()->Item("informe")->ApplicationName(), "/bin/otro");

    // Two new tasks of one name in one object: the second save fails.
    auto both = Open();
    SchedTaskPtr a = both->NewTask("Doble");
    SchedTaskPtr b = both->NewTask("doble");
    a->Save();
    EXPECT_EQ(ErrorOf([&] { b->Save(); }), err::FileExists);
}

TEST_F(TaskStoreTest, EnumerationIsByUpperCaseThenNameAndStable) {
    for (const char* name : {"b", "A", "ñu", "Z", "_x", "Ña"})
        Store(name);
    // Spellings the store itself would refuse, left by another program.
    WriteText(folder() / "a.job", ReadText(folder() / "A.job"));
    WriteText(folder() / "B.job", ReadText(folder() / "b.job"));
    const std::vector<std::string> expected{"A", "a", "B", "b", "Z", "_x", "Ña", "ñu"};
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(Names(), expected);

    // Indexes from one object address the same tasks in another refreshed one.
    auto first = Open();
    auto second = Open();
    for (int i = 1; i <= first->Count(); ++i)
        EXPECT_EQ(first->Item(i)->Name(), second->Item(i)->Name());
    // Both spellings exist on disk: the exact one wins a lookup by name.
    EXPECT_EQ(first->Item("b")->Name(), "b");
    EXPECT_EQ(first->Item("B")->Name(), "B");
}

TEST_F(TaskStoreTest, IndexesOutsideTheEnumerationAndMissingNamesAreError9) {
    Store("Uno");
    Store("Dos");
    auto store = Open();
    for (int index : {0, -1, 3, 32767}) {
        EXPECT_EQ(ErrorOf([&] { store->Item(index); }), err::SubscriptOutOfRange) << index;
        EXPECT_EQ(ErrorOf([&] { store->Delete(index); }), err::SubscriptOutOfRange) << index;
    }
    std::string description;
    EXPECT_EQ(ErrorOf([&] { store->Item("Tres"); }, &description), err::SubscriptOutOfRange);
    EXPECT_NE(description.find("no existe la tarea «Tres»"), std::string::npos) << description;
    EXPECT_EQ(store->Count(), 2);
}

TEST_F(TaskStoreTest, DeleteRemovesTheFileAndTheEntry) {
    Store("Uno");
    Store("Dos");
    auto store = Open();
    ASSERT_EQ(store->Item(1)->Name(), "Dos");
    store->Delete(1);
    EXPECT_FALSE(fs::exists(folder() / "Dos.job"));
    EXPECT_EQ(store->Count(), 1);
    EXPECT_EQ(store->Item(1)->Name(), "Uno");
    EXPECT_EQ(Names(), std::vector<std::string>{"Uno"});
    // The name is free again.
    EXPECT_NO_THROW(store->NewTask("DOS")->Save());
}

TEST_F(TaskStoreTest, ReplacingKeepsTheOldTaskUntilTheNewOneIsSaved) {
    Store("Copia", "/bin/viejo");
    auto store = Open();
    SchedTaskPtr fresh = store->ReplaceTask("COPIA");
    EXPECT_EQ(fresh->Triggers().Count(), 0);
    EXPECT_EQ(fresh->ApplicationName(), "");
    fresh->setApplicationName("/bin/nuevo");
    // Until the save the old task is there, as it was.
    EXPECT_EQ(Open()->Item("copia")->ApplicationName(), "/bin/viejo");
    fresh->Save();
    EXPECT_EQ(Names(), std::vector<std::string>{"COPIA"});
    EXPECT_EQ(Entries(folder()), (std::set<std::string>{".lock", "COPIA.job"}));
    EXPECT_EQ(store->Count(), 1);
    EXPECT_EQ(store->Item(1)->ApplicationName(), "/bin/nuevo");
    // With no task of that name, replacing creates one.
    store->ReplaceTask("Otra")->Save();
    EXPECT_EQ(Names(), (std::vector<std::string>{"COPIA", "Otra"}));
}

TEST_F(TaskStoreTest, UnreadableFilesAreLeftOutReportedAndUntouched) {
    Store("Buena");
    const std::map<std::string, std::string> broken{
        {"Rota.job", "<job version=\"1\" applicationName=\"x\">\n<trigger triggerType=\"1\"\n"},
        {"Futura.job", "<job version=\"99\"/>"},
        {"Campo.job", "<job version=\"1\" flags=\"muchos\"/>"},
        {"Corta.job", "<job version=\"1\"><trigger RandomInterval=\"40000\"/></job>"},
        {"Ajena.job", "<otra/>"},
        {"Vacia.job", ""},
        {"mal:nombre.job", "<job version=\"1\"/>"},
    };
    for (const auto& [file, content] : broken)
        WriteText(folder() / file, content);
    // Files that are not task files are no concern of the store.
    WriteText(folder() / ".Buena.job.a1B2c3", "<job");
    WriteText(folder() / "notas.txt", "hola");
    fs::create_directory(folder() / "carpeta.job");
    fs::file_time_type stamp = fs::last_write_time(folder() / "Rota.job");

    testing::internal::CaptureStderr();
    auto store = Open();
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(store->Count(), 1);
    EXPECT_EQ(store->Item(1)->Name(), "Buena");
    const std::vector<std::string> warnings = store->Warnings();
    EXPECT_EQ(warnings.size(), broken.size());
    for (const auto& [file, content] : broken) {
        const bool told = std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) {
            return w.find(file) != std::string::npos;
        });
        EXPECT_TRUE(told) << file;
        EXPECT_NE(stderrText.find(file), std::string::npos) << file;
        EXPECT_EQ(ReadText(folder() / file), content) << file;
    }
    // A parse error says where.
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const std::string& w) {
        return w.find("Rota.job") != std::string::npos && w.find("línea 2") != std::string::npos;
    }));
    EXPECT_EQ(fs::last_write_time(folder() / "Rota.job"), stamp);

    // Saving other tasks leaves them alone as well; a new Refresh reports them again.
    store->NewTask("Nueva")->Save();
    auto again = Open();
    EXPECT_EQ(again->Count(), 2);
    EXPECT_EQ(again->Warnings().size(), broken.size());
    for (const auto& [file, content] : broken)
        EXPECT_EQ(ReadText(folder() / file), content) << file;
    // A broken file still holds its name: a new task may not take it, and a replacing one may not
    // overwrite or remove it.
    EXPECT_EQ(ErrorOf([&] { again->NewTask("rota")->Save(); }), err::FileExists);
    EXPECT_EQ(ErrorOf([&] { again->ReplaceTask("rota")->Save(); }), err::PathFileAccess);
    EXPECT_EQ(ErrorOf([&] { again->ReplaceTask("Rota")->Save(); }), err::PathFileAccess);
    EXPECT_EQ(ReadText(folder() / "Rota.job"), broken.at("Rota.job"));
    EXPECT_FALSE(fs::exists(folder() / "rota.job"));
}

class RecordingEditor : public TaskEditor {
public:
    bool accept = false;
    int calls = 0;
    bool Edit(SchedTask& task, QObject*) override {
        ++calls;
        task.setApplicationName("/bin/editado");
        task.Triggers().Add().setTriggerType(trigger::AtSystemStart);
        return accept;
    }
};

TEST_F(TaskStoreTest, EditPropertiesSavesOnOkAndChangesNothingOnCancel) {
    Store("Editable", "/bin/antes");
    SchedTaskPtr task = Open()->Item("Editable");
    const std::string before = ReadText(folder() / "Editable.job");

    RegisterTaskEditor(nullptr);
    std::string description;
    EXPECT_EQ(ErrorOf([&] { task->EditProperties(nullptr); }, &description), err::InvalidCall);
    EXPECT_NE(description.find("no hay un editor de propiedades de tareas disponible"), std::string::npos);

    RecordingEditor editor;
    RegisterTaskEditor(&editor);
    task->EditProperties(nullptr);
    EXPECT_EQ(editor.calls, 1);
    EXPECT_EQ(task->ApplicationName(), "/bin/antes");
    EXPECT_EQ(task->Triggers().Count(), 0);
    EXPECT_EQ(ReadText(folder() / "Editable.job"), before);

    editor.accept = true;
    task->EditProperties(nullptr);
    RegisterTaskEditor(nullptr);
    EXPECT_EQ(task->ApplicationName(), "/bin/editado");
    SchedTaskPtr read = Open()->Item("Editable");
    EXPECT_EQ(read->ApplicationName(), "/bin/editado");
    EXPECT_EQ(read->Triggers().Item(1).Text(), "Al iniciar el sistema");
}

TEST_F(TaskStoreTest, TheFolderComesFromTheEnvironmentAndTheFactoryMakesFreshStores) {
    ScopedEnv tasks("BRIOSCHEDULE_TASKS", folder().string());
    EXPECT_EQ(TaskStore::DefaultFolder(), folder());
    Store("Una");
    SchedBridgeFactory factory = MakeTaskStoreFactory();
    auto first = factory();
    auto second = factory();
    EXPECT_NE(first.get(), second.get());
    first->Refresh();
    EXPECT_EQ(first->Count(), 1);
    EXPECT_EQ(dynamic_cast<TaskStore&>(*first).Folder(), folder());
}

} // namespace

// The store remembers what it parsed and listed; a change made behind its back must still be seen.
TEST_F(TaskStoreTest, ChangesMadeOutsideTheStoreAreSeenDespiteWhatItRemembers) {
    Store("Uno", "/bin/uno");
    Store("Dos");
    EXPECT_EQ(Open()->Item("Uno")->ApplicationName(), "/bin/uno");

    // A person edits a task file in place, to the same size within the same tick of the file system's
    // clock, and adds one by hand, spelt like an existing task.
    std::string text = ReadText(folder() / "Uno.job");
    text.replace(text.find("/bin/uno"), 8, "/bin/UNO");
    WriteText(folder() / "Uno.job", text);
    fs::copy_file(folder() / "Dos.job", folder() / "TRES.job");
    EXPECT_EQ(Open()->Item("Uno")->ApplicationName(), "/bin/UNO");

    auto store = Open();
    EXPECT_EQ(store->Count(), 3);
    try {
        store->NewTask("tres");
        FAIL() << "a name taken by a file added by hand";
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::FileExists);
    }
    // Another store object (as another process would) adds a task between two saves of this one.
    SchedTaskPtr mine = store->NewTask("Cuatro");
    auto other = Open();
    other->NewTask("CUATRO")->Save();
    EXPECT_THROW(mine->Save(), BrioError);
    EXPECT_EQ(Names(), (std::vector<std::string>{"CUATRO", "Dos", "TRES", "Uno"}));
}

TEST_F(TaskStoreTest, OnlyTrustedTaskFilesAreReadAndAnOpenStoreIsRefused) {
    Store("Buena");
    const std::string job = ReadText(folder() / "Buena.job");
    WriteText(dir_ / "fuera.job", job);
    fs::create_symlink(dir_ / "fuera.job", folder() / "Enlace.job");
    fs::create_hard_link(dir_ / "fuera.job", folder() / "Doble.job");
    ASSERT_EQ(::mkfifo((folder() / "Tubo.job").c_str(), 0600), 0); // must not hang the store
    std::vector<std::string> leftOut = {"Enlace.job", "Doble.job", "Tubo.job"};
    if (::geteuid() == 0) { // a task planted by another user
        WriteText(folder() / "Ajena.job", job);
        ASSERT_EQ(::chown((folder() / "Ajena.job").c_str(), 65534, 65534), 0);
        leftOut.push_back("Ajena.job");
    }
    WriteText(folder() / ".Buena.job.Zx81Qa", job); // what a writer killed before its rename left
    testing::internal::CaptureStderr();
    auto store = Open();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Names(), std::vector<std::string>{"Buena"});
    for (const std::string& file : leftOut) {
        const auto warnings = store->Warnings();
        EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) {
            return w.find(file) != std::string::npos;
        })) << file;
    }
    EXPECT_FALSE(fs::exists(folder() / ".Buena.job.Zx81Qa"));
    EXPECT_EQ(ReadText(dir_ / "fuera.job"), job);

    // A folder others may write to is not opened at all.
    for (const fs::perms open : {fs::perms(0777), fs::perms(0770), fs::perms(01777)}) {
        fs::permissions(folder(), open);
        std::string why;
        EXPECT_EQ(ErrorOf([&] { TaskStore(folder()).Refresh(); }, &why), err::PermissionDenied);
        EXPECT_NE(why.find("otros usuarios"), std::string::npos) << why;
        EXPECT_EQ(ErrorOf([&] { store->NewTask("Otra")->Save(); }), err::PermissionDenied);
    }
    fs::permissions(folder(), fs::perms(0700));
    EXPECT_FALSE(fs::exists(folder() / "Otra.job"));
}
