#pragma once

#include "BrioError.h"
#include "TaskStore.h"
#include "TempDir.h"
#include "clsAdminTask.h"

#include <gtest/gtest.h>

namespace brio::test {

// A program folder, a task store and drives in temporary folders, with the real store behind the
// administration object.
class AdminFixture : public ::testing::Test {
protected:
    TempDir home, store, c;

    HostPaths drives() const { return HostPaths({{'C', c.path()}}); }
    clsAdminTask admin() const {
        return clsAdminTask(home.path(), MakeTaskStoreFactory(store.path()), drives());
    }
    TaskStore bridge() const {
        TaskStore s(store.path());
        s.Refresh();
        return s;
    }
    std::filesystem::path listFile() const { return home / "TaskConfig.XML"; }
    std::string readList() const { return ReadText(listFile()); }

    // A stored scheduler task with a program, arguments, folder, flags and the given triggers.
    SchedTaskPtr makeTask(const std::string& name, std::int32_t flags,
                          const std::vector<SchedTrigger>& triggers) {
        TaskStore s(store.path());
        s.Refresh();
        SchedTaskPtr t = s.NewTask(name);
        t->setApplicationName("C:\\BRIO\\VELMORAX\\bin\\" + name + ".exe");
        t->setParameters("/tarea " + name);
        t->setWorkingDirectory("C:\\BRIO\\VELMORAX\\bin");
        t->setFlags(flags);
        for (const SchedTrigger& trig : triggers)
            t->Triggers().Add() = trig;
        t->Save(0);
        return t;
    }
};

inline SchedTrigger Daily(int hour, int minute, int everyDays = 1) {
    SchedTrigger t;
    t.setTriggerType(trigger::Daily);
    t.setBeginDay(MakeDate(2026, 12, 8));
    t.setStartTime(MakeDate(1899, 12, 30, hour, minute));
    t.setDaily_Interval(static_cast<std::int16_t>(everyDays));
    return t;
}

// Every trigger type, with the fields of its type set to values other than the defaults.
inline std::vector<SchedTrigger> EveryTriggerType() {
    std::vector<SchedTrigger> all;
    for (int type = 0; type <= 7; ++type) {
        SchedTrigger t = Daily(3, 15);
        t.setTriggerType(type);
        t.setEndDay(MakeDate(2027, 6, 30));
        t.setFlags(triggerflag::hasEndDate);
        t.setDuration(120);
        t.setInterval(15);
        t.setRandomInterval(7);
        t.setDaily_Interval(2);
        t.setWeekly_DaysOfTheWeek(2 | 8);
        t.setWeekly_Interval(3);
        t.setMonthlyDate_Day(1 | (1 << 14));
        t.setMonthlyDate_Months(1 | 64);
        t.setMonthlyDOW_DaysOfTheWeek(32);
        t.setMonthlyDOW_Months(4095);
        t.setMonthlyDOW_Week(5);
        all.push_back(t);
    }
    return all;
}

} // namespace brio::test
