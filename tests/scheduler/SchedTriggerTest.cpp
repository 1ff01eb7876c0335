#include "SchedTrigger.h"
#include "BrioError.h"

#include <gtest/gtest.h>

using namespace brio;

namespace {

SchedTrigger At(std::int32_t type, int hour, int minute) {
    SchedTrigger t;
    t.setTriggerType(type);
    t.setStartTime(MakeDate(1899, 12, 30, hour, minute));
    return t;
}

constexpr std::int32_t Sun = 1, Mon = 2, Wed = 8, Fri = 32, Sat = 64;
constexpr std::int32_t Jan = 1, Jul = 64;

TEST(TriggerTextTest, EachTypeReadsAsASpanishSentence) {
    SchedTrigger daily = At(trigger::Daily, 2, 0);
    daily.setBeginDay(MakeDate(2026, 12, 8));
    EXPECT_EQ(daily.Text(), "A las 2:00 todos los días, a partir del 08/12/2026");
    daily.setDaily_Interval(3);
    EXPECT_EQ(daily.Text(), "A las 2:00 cada 3 días, a partir del 08/12/2026");

    SchedTrigger weekly = At(trigger::Weekly, 9, 30);
    weekly.setWeekly_DaysOfTheWeek(Mon | Wed);
    weekly.setWeekly_Interval(2);
    EXPECT_EQ(weekly.Text(), "A las 9:30 cada lun, mié de cada 2 semanas");
    // Days are told Monday first; Sunday ends the week.
    weekly.setWeekly_DaysOfTheWeek(Sun | Sat | Mon);
    weekly.setWeekly_Interval(1);
    EXPECT_EQ(weekly.Text(), "A las 9:30 cada lun, sáb, dom de cada semana");

    SchedTrigger lastFriday = At(trigger::MonthlyDOW, 3, 0);
    lastFriday.setMonthlyDOW_Week(5);
    lastFriday.setMonthlyDOW_DaysOfTheWeek(Fri);
    lastFriday.setMonthlyDOW_Months(0xFFF);
    EXPECT_EQ(lastFriday.Text(), "A las 3:00 el último vie de cada mes");
    lastFriday.setMonthlyDOW_Week(1);
    lastFriday.setMonthlyDOW_DaysOfTheWeek(Mon | Fri);
    lastFriday.setMonthlyDOW_Months(Jan | Jul);
    EXPECT_EQ(lastFriday.Text(), "A las 3:00 el primer lun, vie de ene, jul");

    SchedTrigger byDate = At(trigger::MonthlyDate, 8, 15);
    byDate.setMonthlyDate_Day((1 << 0) | (1 << 14));
    byDate.setMonthlyDate_Months(Jan | Jul);
    EXPECT_EQ(byDate.Text(), "A las 8:15 los días 1, 15 de ene, jul");
    byDate.setMonthlyDate_Day(1 << 30);
    byDate.setMonthlyDate_Months(0xFFF);
    EXPECT_EQ(byDate.Text(), "A las 8:15 el día 31 de cada mes");

    SchedTrigger once = At(trigger::Once, 2, 0);
    once.setBeginDay(MakeDate(2026, 12, 8));
    EXPECT_EQ(once.Text(), "A las 2:00 el 08/12/2026");

    EXPECT_EQ(At(trigger::AtSystemStart, 0, 0).Text(), "Al iniciar el sistema");
    EXPECT_EQ(At(trigger::AtLogon, 0, 0).Text(), "Al iniciar sesión");
    EXPECT_EQ(At(trigger::OnIdle, 0, 0).Text(), "Cuando el equipo esté inactivo");
    EXPECT_EQ(At(42, 0, 0).Text(), "Programación desconocida (tipo 42)");
}

TEST(TriggerTextTest, RepetitionEndDateAndDisabledFollowTheSchedule) {
    SchedTrigger t = At(trigger::Daily, 0, 5);
    t.setBeginDay(MakeDate(2026, 1, 1));
    t.setInterval(10);
    t.setDuration(60);
    EXPECT_EQ(t.Text(), "A las 0:05 todos los días, cada 10 minutos durante 1 hora, a partir del 01/01/2026");
    t.setInterval(60);
    t.setDuration(90);
    t.setFlags(triggerflag::hasEndDate);
    t.setEndDay(MakeDate(2026, 3, 31));
    EXPECT_EQ(t.Text(), "A las 0:05 todos los días, cada hora durante 90 minutos, a partir del 01/01/2026, "
                        "hasta el 31/03/2026");
    // The end date counts only with its flag, and the begin date only when it was set.
    t.setFlags(triggerflag::disabled);
    t.setBeginDay(ZeroDate());
    t.setInterval(1);
    t.setDuration(0);
    EXPECT_EQ(t.Text(), "A las 0:05 todos los días, cada minuto (deshabilitado)");

    // Event triggers have no time of day and no date range.
    SchedTrigger logon = At(trigger::AtLogon, 4, 0);
    logon.setFlags(triggerflag::hasEndDate);
    logon.setInterval(5);
    EXPECT_EQ(logon.Text(), "Al iniciar sesión");
}

TEST(TriggerTextTest, EmptyDaySetsAreSaidRatherThanLeftBlank) {
    EXPECT_EQ(At(trigger::Weekly, 7, 0).Text(), "A las 7:00 ningún día de cada semana");
    EXPECT_EQ(At(trigger::MonthlyDate, 7, 0).Text(), "A las 7:00 ningún día de ningún mes");
}

TEST(TriggerCollectionTest, IndexesAreOneBasedAndOutsideIsError9) {
    SchedTriggers triggers;
    EXPECT_EQ(triggers.Count(), 0);
    for (int i : {0, 1, -1}) {
        try {
            triggers.Item(i);
            FAIL() << i;
        } catch (const BrioError& e) {
            EXPECT_EQ(e.number(), err::SubscriptOutOfRange);
        }
    }
    triggers.Add().setTriggerType(trigger::Once);
    triggers.Add().setTriggerType(trigger::Weekly);
    triggers.Add().setTriggerType(trigger::AtLogon);
    EXPECT_EQ(triggers.Item(1).TriggerType(), trigger::Once);
    EXPECT_EQ(triggers.Item(3).TriggerType(), trigger::AtLogon);
    triggers.Remove(2);
    ASSERT_EQ(triggers.Count(), 2);
    EXPECT_EQ(triggers.Item(2).TriggerType(), trigger::AtLogon);
    EXPECT_THROW(triggers.Remove(3), BrioError);
    EXPECT_EQ(triggers.Count(), 2);
}

} // namespace
