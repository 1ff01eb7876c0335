#include "AdminFixture.h"
#include "ErrorOf.h"

using namespace brio;
using namespace brio::test;

namespace {

class AdminSystem : public AdminFixture {};

// A property dialog scripted as a person would use it.
class ScriptedEditor : public TaskEditor {
public:
    std::function<bool(SchedTask&)> script;
    int shown = 0;
    bool Edit(SchedTask& task, QObject*) override {
        ++shown;
        return script(task);
    }
};

class EditorRegistration {
public:
    explicit EditorRegistration(TaskEditor* e) { RegisterTaskEditor(e); }
    ~EditorRegistration() { RegisterTaskEditor(nullptr); }
};

} // namespace

TEST_F(AdminSystem, ListsEveryTaskWithStateOneAndTheFirstTriggersText) {
    makeTask("b", taskflag::disabled | taskflag::hidden, {Daily(2, 0), Daily(3, 0)});
    makeTask("A", 0, {});
    const TareaList list = admin().getSystemTaskList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Name(), "A");
    EXPECT_TRUE(list[0].Enabled());
    EXPECT_EQ(list[0].Text(), "");
    EXPECT_EQ(list[1].Name(), "b");
    EXPECT_FALSE(list[1].Enabled());
    EXPECT_EQ(list[1].State(), 1);
    EXPECT_FALSE(list[1].hidden());
    EXPECT_EQ(list[1].Text(), "A las 2:00 todos los días, a partir del 08/12/2026");
    EXPECT_EQ(admin().getSystemTaskIndex("B"), 2);
    EXPECT_EQ(admin().getSystemTaskIndex("b "), -1);
}

TEST_F(AdminSystem, SetTaskAttrSwitchesOnlyTheNamedBit) {
    makeTask("T", taskflag::interactive, {});
    clsAdminTask a = admin();
    a.SetTaskAttr("T", "Hidden", "1");
    EXPECT_EQ(bridge().Item("T")->Flags(), taskflag::interactive | taskflag::hidden);
    a.SetTaskAttr("t", "disabled", "True");
    a.SetTaskAttr("T", "HIDDEN", "0");
    EXPECT_EQ(bridge().Item("T")->Flags(), taskflag::interactive | taskflag::disabled);
    a.SetTaskAttr("T", "disabled", "0");
    a.SetTaskAttr("T", "disabled", "0");
    a.SetTaskAttr("T", "otro", "1");
    EXPECT_EQ(bridge().Item("T")->Flags(), taskflag::interactive);
    EXPECT_EQ(ErrorOf([&] { a.SetTaskAttr("T", "disabled", "sí"); }), err::TypeMismatch);
    EXPECT_EQ(ErrorOf([&] { a.SetTaskAttr("Nadie", "otro", "1"); }), err::SubscriptOutOfRange);
}

TEST_F(AdminSystem, RemovingFromListAndSchedulerTogether) {
    makeTask("T", 0, {});
    clsAdminTask a = admin();
    a.Import({"T"});
    a.RemoveBrioTask("T", true);
    EXPECT_TRUE(a.getXMLTaskList().empty());
    EXPECT_EQ(bridge().Count(), 0);
    // Not in the scheduler: the entry goes first, then the removal fails.
    makeTask("U", 0, {});
    a.Import({"U"});
    a.RemoveSystemTask("U");
    EXPECT_EQ(ErrorOf([&] { a.RemoveBrioTask("U", true); }), err::SubscriptOutOfRange);
    EXPECT_TRUE(a.getXMLTaskList().empty());
}

TEST_F(AdminSystem, RandomTimeShiftsOnlyDailyTasksWithoutRepetition) {
    SchedTrigger repeating = Daily(8, 0);
    repeating.setInterval(30);
    SchedTrigger weekly = Daily(8, 0);
    weekly.setTriggerType(trigger::Weekly);
    makeTask("D", 0, {Daily(8, 0)});
    makeTask("R", 0, {repeating});
    makeTask("W", 0, {weekly});
    makeTask("N", 0, {});
    clsAdminTask a = admin();
    a.SystemRandomTime({"D", "R", "W"}, 0);
    EXPECT_EQ(bridge().Item("D")->Triggers().Item(1).StartTime().time(), QTime(8, 0));
    a.SystemRandomTime({"D", "R", "W"}, 30);
    const QTime d = bridge().Item("D")->Triggers().Item(1).StartTime().time();
    EXPECT_LE(std::abs(QTime(8, 0).secsTo(d)), 30 * 60);
    EXPECT_EQ(bridge().Item("R")->Triggers().Item(1).StartTime().time(), QTime(8, 0));
    EXPECT_EQ(bridge().Item("W")->Triggers().Item(1).StartTime().time(), QTime(8, 0));
    EXPECT_EQ(ErrorOf([&] { a.SystemRandomTime({"N"}, 5); }), err::SubscriptOutOfRange);
}

// The entry is edited through a stand-in task that is disabled in the scheduler all along; the dialog sees
// the entry's own name and state, and the entry keeps its place and what the dialog does not show.
TEST_F(AdminSystem, ListEditGoesThroughADisabledStandInAndKeepsTheEntrysPlace) {
    makeTask("Copia", taskflag::interactive, {Daily(2, 0)});
    makeTask("Otra", 0, {});
    clsAdminTask a = admin();
    a.Import({"Copia", "Otra"});
    a.SetXMLAttr("Copia", "StartTimeRandom", "15");
    a.SetXMLAttr("Copia", "Seleccion", "5");
    a.SetXMLAttr("Copia", "selected", "1");

    ScriptedEditor editor;
    EditorRegistration registration(&editor);
    std::string seenName;
    bool seenDisabled = true, storedDisabled = false;
    editor.script = [&](SchedTask& t) {
        seenName = t.Name();
        seenDisabled = t.Flags() & taskflag::disabled;
        storedDisabled = bridge().Item("Copia_")->Flags() & taskflag::disabled;
        t.setParameters("/editada");
        t.Triggers().Item(1).setStartTime(MakeDate(1899, 12, 30, 5, 45));
        return true;
    };
    a.TaskBrioEdit("Copia");
    EXPECT_EQ(seenName, "Copia_");
    EXPECT_FALSE(seenDisabled) << "the entry's own state is shown";
    EXPECT_TRUE(storedDisabled) << "the copy in the scheduler never runs";
    const TareaList list = a.getXMLTaskList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Name(), "Copia") << "the entry keeps its place";
    EXPECT_EQ(list[0].StartTimeRandom(), 15);
    EXPECT_EQ(a.GetXMLAttr("Copia", "Seleccion"), "5");
    EXPECT_EQ(a.GetXMLAttr("Copia", "selected"), "1");
    EXPECT_TRUE(list[0].Enabled()) << "OK with the state untouched keeps it";
    EXPECT_EQ(list[0].Text(), "A las 5:45 todos los días, a partir del 08/12/2026");
    EXPECT_EQ(a.GetXMLAttr("Copia", "commandLine"), "/editada");
    EXPECT_EQ(a.getSystemTaskIndex("Copia_"), -1);
    EXPECT_EQ(bridge().Item("Copia")->Parameters(), "/tarea Copia") << "the real task is not touched";

    // The person disables the entry, then enables it again: the entry and its CONFIGURACION follow.
    for (const bool enable : {false, true}) {
        editor.script = [enable](SchedTask& t) {
            t.setFlags(enable ? t.Flags() & ~taskflag::disabled : t.Flags() | taskflag::disabled);
            return true;
        };
        a.TaskBrioEdit("Copia");
        EXPECT_EQ(a.getXMLTaskList()[0].Enabled(), enable);
        EXPECT_EQ(a.GetXMLAttr("Copia", "disabled"), enable ? "0" : "1");
        EXPECT_NE(readList().find(std::string("<CONFIGURACION deleteWhenDone=\"0\" disabled=\"") +
                                  (enable ? "0" : "1")),
                  std::string::npos);
    }
}

TEST_F(AdminSystem, ACancelledListEditLeavesTheEntryAsItWas) {
    makeTask("Copia", 0, {Daily(2, 0)});
    makeTask("Otra", 0, {});
    clsAdminTask a = admin();
    a.Import({"Copia", "Otra"});
    a.SetXMLAttr("Copia", "StartTimeRandom", "15");
    const std::string before = readList();
    ScriptedEditor editor;
    EditorRegistration registration(&editor);
    editor.script = [](SchedTask& t) {
        t.setParameters("/cambiado");
        return false;
    };
    a.TaskBrioEdit("Copia");
    EXPECT_EQ(editor.shown, 1);
    EXPECT_EQ(readList(), before);
    EXPECT_EQ(a.getSystemTaskIndex("Copia_"), -1);
}

TEST_F(AdminSystem, AFailingListEditLeavesNoTemporaryTask) {
    makeTask("Copia", 0, {Daily(2, 0)});
    clsAdminTask a = admin();
    a.Import({"Copia"});
    ScriptedEditor editor;
    EditorRegistration registration(&editor);
    editor.script = [](SchedTask&) -> bool { throw BrioError(err::InvalidCall, "fallo del diálogo"); };
    EXPECT_EQ(ErrorOf([&] { a.TaskBrioEdit("Copia"); }), err::InvalidCall);
    EXPECT_EQ(a.getSystemTaskIndex("Copia_"), -1);
    EXPECT_EQ(bridge().Count(), 1);

    RegisterTaskEditor(nullptr); // no property dialog at all (the command line)
    EXPECT_NE(ErrorOf([&] { a.TaskBrioEdit("Copia"); }), 0);
    EXPECT_EQ(a.getSystemTaskIndex("Copia_"), -1);
}

TEST_F(AdminSystem, ListEditWithoutAListFileFailsAndCreatesNothing) {
    EXPECT_NE(ErrorOf([&] { admin().TaskBrioEdit("Copia"); }), 0);
    EXPECT_EQ(bridge().Count(), 0);
}

TEST_F(AdminSystem, SystemEditCancelledChangesNothing) {
    makeTask("T", 0, {Daily(2, 0)});
    ScriptedEditor editor;
    EditorRegistration registration(&editor);
    editor.script = [](SchedTask& t) {
        t.setParameters("/cambiado");
        return false;
    };
    admin().TaskSystemEdit("t");
    EXPECT_EQ(editor.shown, 1);
    EXPECT_EQ(bridge().Item("T")->Parameters(), "/tarea T");
}
