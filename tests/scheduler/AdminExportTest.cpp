#include "AdminFixture.h"
#include "BrioRandom.h"

#include <set>

using namespace brio;
using namespace brio::test;

namespace {

class AdminExport : public AdminFixture {
protected:
    // The same trigger, with the text and the start date part left out: only the time of day counts.
    static void expectSameTriggers(const SchedTriggers& a, const SchedTriggers& b) {
        ASSERT_EQ(a.Count(), b.Count());
        for (int i = 1; i <= a.Count(); ++i) {
            SchedTrigger x = a.Item(i), y = b.Item(i);
            EXPECT_EQ(x, y) << "trigger " << i << " (type " << x.TriggerType() << ")";
        }
    }
};

} // namespace

TEST_F(AdminExport, RoundTripThroughTheListFileKeepsEveryField) {
    const std::int32_t flags = taskflag::interactive | taskflag::disabled | taskflag::killOnIdleEnd |
                               taskflag::runOnlyIfLoggedOn | taskflag::systemRequired;
    makeTask("Todo", flags, EveryTriggerType());
    clsAdminTask a = admin();
    a.Import({"Todo"});
    a.RemoveSystemTask("Todo");
    EXPECT_EQ(a.getSystemTaskIndex("Todo"), -1);
    a.Export({"Todo"});

    TaskStore s = bridge();
    SchedTaskPtr back = s.Item("Todo");
    EXPECT_EQ(back->ApplicationName(), "C:\\BRIO\\VELMORAX\\bin\\Todo.exe");
    EXPECT_EQ(back->WorkingDirectory(), "C:\\BRIO\\VELMORAX\\bin");
    EXPECT_EQ(back->Parameters(), "/tarea Todo");
    EXPECT_EQ(back->Flags(), flags);
    std::vector<SchedTrigger> expected = EveryTriggerType();
    // Fields of other trigger types are not carried: they come back as a new trigger has them.
    const SchedTrigger fresh;
    for (SchedTrigger& t : expected) {
        if (t.TriggerType() != trigger::Daily)
            t.setDaily_Interval(fresh.Daily_Interval());
        if (t.TriggerType() != trigger::Weekly) {
            t.setWeekly_DaysOfTheWeek(fresh.Weekly_DaysOfTheWeek());
            t.setWeekly_Interval(fresh.Weekly_Interval());
        }
        if (t.TriggerType() != trigger::MonthlyDate) {
            t.setMonthlyDate_Day(fresh.MonthlyDate_Day());
            t.setMonthlyDate_Months(fresh.MonthlyDate_Months());
        }
        if (t.TriggerType() != trigger::MonthlyDOW) {
            t.setMonthlyDOW_DaysOfTheWeek(fresh.MonthlyDOW_DaysOfTheWeek());
            t.setMonthlyDOW_Months(fresh.MonthlyDOW_Months());
            t.setMonthlyDOW_Week(fresh.MonthlyDOW_Week());
        }
    }
    SchedTriggers want;
    want.items() = expected;
    expectSameTriggers(back->Triggers(), want);
}

TEST_F(AdminExport, DatesNeverSetRoundTripThroughTheListFile) {
    SchedTrigger never = Daily(4, 30);
    never.setBeginDay(QDateTime());
    never.setStartTime(QDateTime());
    never.setEndDay(QDateTime());
    SchedTrigger endless = Daily(5, 0); // the usual case: an end day that was never set
    endless.setEndDay(QDateTime());
    makeTask("Fechas", 0, {never, endless});
    clsAdminTask a = admin();
    a.Import({"Fechas"});
    a.RemoveSystemTask("Fechas");
    a.Export({"Fechas"});
    SchedTriggers want;
    want.items() = {never, endless};
    expectSameTriggers(bridge().Item("Fechas")->Triggers(), want);
}

TEST_F(AdminExport, HiddenIsNeverExportedAndMissingEntriesGiveAnEmptyTask) {
    makeTask("Oculta", taskflag::hidden, {Daily(2, 0)});
    clsAdminTask a = admin();
    a.Import({"Oculta"});
    a.Export({"Oculta", "Sin entrada"});
    TaskStore s = bridge();
    EXPECT_EQ(s.Item("Oculta")->Flags() & taskflag::hidden, 0);
    SchedTaskPtr empty = s.Item("Sin entrada");
    EXPECT_EQ(empty->ApplicationName(), "");
    EXPECT_EQ(empty->Flags(), 0);
    EXPECT_EQ(empty->Triggers().Count(), 0);
}

TEST_F(AdminExport, WithoutAListFileNothingIsCreated) {
    admin().Export({"A"});
    EXPECT_EQ(bridge().Count(), 0);
}

TEST_F(AdminExport, RandomShiftStaysInRangeAndRepeatsFromTheFixedSeed) {
    std::vector<SchedTrigger> many(40, Daily(10, 0));
    makeTask("R", 0, many);
    clsAdminTask a = admin();
    a.Import({"R"});
    a.XMLRandomTime({"R"}, 10);
    auto shifts = [&] {
        ResetRandom();
        a.Export({"R"});
        std::vector<int> minutes;
        const SchedTaskPtr task = bridge().Item("R");
        for (const SchedTrigger& t : task->Triggers().items())
            minutes.push_back(t.StartTime().time().hour() * 60 + t.StartTime().time().minute() - 600);
        return minutes;
    };
    const std::vector<int> first = shifts();
    EXPECT_EQ(shifts(), first) << "the same run order draws the same shifts";
    for (int m : first) {
        EXPECT_GE(m, -10);
        EXPECT_LE(m, 9);
    }
    EXPECT_GT(std::set<int>(first.begin(), first.end()).size(), 5u) << "successive draws differ";
    a.XMLRandomTime({"R"}, 0);
    a.Export({"R"});
    const SchedTaskPtr unshifted = bridge().Item("R");
    for (const SchedTrigger& t : unshifted->Triggers().items())
        EXPECT_EQ(t.StartTime().time(), QTime(10, 0));
}

TEST_F(AdminExport, ARangeWhoseDoubleOverflowsFailsAndKeepsTheOldTask) {
    makeTask("R", 0, {Daily(10, 0)});
    clsAdminTask a = admin();
    a.Import({"R"});
    a.XMLRandomTime({"R"}, 20000);
    try {
        a.Export({"R"});
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::Overflow);
    }
    SchedTaskPtr old = bridge().Item("R");
    EXPECT_EQ(old->Triggers().Count(), 1);
    EXPECT_EQ(old->Parameters(), "/tarea R");
}

TEST_F(AdminExport, ReplacingKeepsTheOldTaskWhenALaterStepFails) {
    makeTask("X", taskflag::interactive, {Daily(4, 0)});
    clsAdminTask a = admin();
    a.Import({"X"});
    // A broken trigger in the list: the replacement fails part way.
    std::string xml = readList();
    xml.replace(xml.find("Duration=\"0\""), 12, "Duration=\"mucho\"");
    WriteText(listFile(), xml);
    a.SetXMLAttr("X", "commandLine", "/nuevo");
    EXPECT_THROW(a.Export({"X"}), BrioError);
    SchedTaskPtr old = bridge().Item("X");
    EXPECT_EQ(old->Parameters(), "/tarea X");
    EXPECT_EQ(old->Triggers().Count(), 1);
}

TEST_F(AdminExport, ANameTheSchedulerCannotTakeIsAnErrorAndWritesNothing) {
    WriteText(listFile(), "<TAREAS><TAREA name=\"../fuera\" applicationName=\"a\"/></TAREAS>");
    try {
        admin().Export({"../fuera"});
        FAIL();
    } catch (const BrioError& e) {
        EXPECT_EQ(e.number(), err::BadFileName);
    }
    EXPECT_EQ(bridge().Count(), 0);
    EXPECT_FALSE(std::filesystem::exists(store.path().parent_path() / "fuera.job"));
}
