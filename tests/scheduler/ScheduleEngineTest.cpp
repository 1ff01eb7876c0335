#include "ScheduleEngine.h"
#include "BrioError.h"
#include "TriggerDays.h"
#include "TriggerMaker.h"

#include <gtest/gtest.h>

#include <QDate>

#include <chrono>
#include <climits>

using namespace brio;
using namespace brio::test;

namespace {

const char* const kZones[] = {"Europe/Madrid", "America/New_York", "UTC"};

// The instant of a wall time "2026-03-10 08:00" in a zone.
Instant At(const ScheduleZone& zone, const char* wall) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    std::sscanf(wall, "%d-%d-%d %d:%d", &y, &mo, &d, &h, &mi);
    const std::int64_t days = QDate(y, mo, d).toJulianDay() - 2440588;
    return zone.FromWall(WallSeconds{days * 86400 + h * 3600 + mi * 60});
}

std::vector<std::string> Walls(const Schedule& schedule, const ScheduleZone& zone) {
    std::vector<std::string> texts;
    for (const auto& start : schedule.starts)
        texts.push_back(WallText(start.start, zone));
    return texts;
}

std::vector<std::string> Isos(const Schedule& schedule, const ScheduleZone& zone) {
    std::vector<std::string> texts;
    for (const auto& start : schedule.starts)
        texts.push_back(IsoInstant(start.start, zone));
    return texts;
}

struct WallCase {
    const char* name;
    SchedTrigger trigger;
    const char* after;
    int count;
    std::vector<std::string> starts; // wall times, the same in every zone
};

// Calendar rules that no clock change touches: the same wall times in each zone.
TEST(ScheduleEngineTest, EachTriggerTypeGivesItsWallTimesInEveryZone) {
    const WallCase cases[] = {
        {"once, repeated hourly for four hours",
         Make(trigger::Once, "2026-03-10", 8, 0).repeat(60, 240),
         "2026-03-10 00:00",
         10,
         {"10/03/2026 08:00:00", "10/03/2026 09:00:00", "10/03/2026 10:00:00", "10/03/2026 11:00:00"}},
        {"once, every minute for four minutes",
         Make(trigger::Once, "2026-03-01", 8, 0).repeat(1, 4),
         "2026-03-01 00:00",
         10,
         {"01/03/2026 08:00:00", "01/03/2026 08:01:00", "01/03/2026 08:02:00", "01/03/2026 08:03:00"}},
        {"once, already past", Make(trigger::Once, "2026-03-01", 8, 0), "2026-03-01 08:00", 3, {}},
        {"once, midway through its repetitions",
         Make(trigger::Once, "2026-03-10", 8, 0).repeat(60, 240),
         "2026-03-10 09:30",
         10,
         {"10/03/2026 10:00:00", "10/03/2026 11:00:00"}},
        {"daily every 3 days, anchored on the begin day",
         Make(trigger::Daily, "2026-01-30", 6, 15).every(3),
         "2026-02-01 00:00",
         4,
         {"02/02/2026 06:15:00", "05/02/2026 06:15:00", "08/02/2026 06:15:00", "11/02/2026 06:15:00"}},
        {"daily repetition past midnight",
         Make(trigger::Daily, "2026-02-01", 22, 0).repeat(120, 360),
         "2026-03-01 23:00",
         5,
         {"02/03/2026 00:00:00", "02/03/2026 02:00:00", "02/03/2026 22:00:00", "03/03/2026 00:00:00",
          "03/03/2026 02:00:00"}},
        {"daily, the end day counts",
         Make(trigger::Daily, "2026-03-01", 10, 0).until("2026-03-03"),
         "2026-02-01 00:00",
         5,
         {"01/03/2026 10:00:00", "02/03/2026 10:00:00", "03/03/2026 10:00:00"}},
        {"repetitions stop at the midnight after the end day",
         Make(trigger::Daily, "2026-03-01", 22, 0).repeat(60, 240).until("2026-03-02"),
         "2026-03-01 00:00",
         10,
         {"01/03/2026 22:00:00", "01/03/2026 23:00:00", "02/03/2026 00:00:00", "02/03/2026 01:00:00",
          "02/03/2026 22:00:00", "02/03/2026 23:00:00"}},
        {"repetitions longer than a day overlap once",
         Make(trigger::Daily, "2026-03-01", 12, 0).repeat(720, 2880),
         "2026-03-02 13:00",
         3,
         {"03/03/2026 00:00:00", "03/03/2026 12:00:00", "04/03/2026 00:00:00"}},
        {"weekly every 2 weeks on Tuesday from a Wednesday",
         Make(trigger::Weekly, "2026-01-07", 10, 0).weekly(day::Tue, 2),
         "2026-01-01 00:00",
         3,
         {"20/01/2026 10:00:00", "03/02/2026 10:00:00", "17/02/2026 10:00:00"}},
        {"weekly on Monday and Friday, Sunday starting the week",
         Make(trigger::Weekly, "2026-01-01", 7, 30).weekly(day::Mon | day::Fri | day::Sun),
         "2026-01-01 00:00",
         4,
         {"02/01/2026 07:30:00", "04/01/2026 07:30:00", "05/01/2026 07:30:00", "09/01/2026 07:30:00"}},
        {"monthly on 29 February only",
         Make(trigger::MonthlyDate, "2026-01-01", 12, 0).monthly(1 << 28, month::Feb),
         "2026-01-01 00:00",
         3,
         {"29/02/2028 12:00:00", "29/02/2032 12:00:00", "29/02/2036 12:00:00"}},
        {"monthly on the 31st skips the short months",
         Make(trigger::MonthlyDate, "2026-01-01", 0, 0).monthly(1 << 30, month::All),
         "2026-01-01 00:00",
         4,
         {"31/01/2026 00:00:00", "31/03/2026 00:00:00", "31/05/2026 00:00:00", "31/07/2026 00:00:00"}},
        {"monthly on the 1st and 15th, not before the begin day",
         Make(trigger::MonthlyDate, "2026-01-10", 9, 0).monthly(1 | (1 << 14), month::Jan | month::Jul),
         "2025-01-01 00:00",
         4,
         {"15/01/2026 09:00:00", "01/07/2026 09:00:00", "15/07/2026 09:00:00", "01/01/2027 09:00:00"}},
        {"first Monday of each quarter",
         Make(trigger::MonthlyDOW, "2026-01-01", 8, 0).dow(1, day::Mon, 585),
         "2026-01-01 00:00",
         4,
         {"05/01/2026 08:00:00", "06/04/2026 08:00:00", "06/07/2026 08:00:00", "05/10/2026 08:00:00"}},
        {"the last week is the month's last seven days",
         Make(trigger::MonthlyDOW, "2026-01-01", 3, 0).dow(5, day::Fri | day::Sun, month::Jan | month::Feb),
         "2026-01-01 00:00",
         4,
         {"25/01/2026 03:00:00", "30/01/2026 03:00:00", "22/02/2026 03:00:00", "27/02/2026 03:00:00"}},
        {"the fourth week is days 22 to 28",
         Make(trigger::MonthlyDOW, "2026-01-01", 3, 0).dow(4, day::Sat, month::Jan),
         "2026-01-01 00:00",
         2,
         {"24/01/2026 03:00:00", "23/01/2027 03:00:00"}},
    };
    for (const char* name : kZones) {
        const ScheduleZone zone = ScheduleZone::Named(name);
        const ScheduleEngine engine(zone);
        for (const auto& c : cases) {
            const Schedule got = engine.Next(c.trigger, At(zone, c.after), c.count, 2);
            EXPECT_EQ(Walls(got, zone), c.starts) << c.name << " in " << name;
            EXPECT_EQ(got.reason.empty(), !c.starts.empty())
                << c.name << " in " << name << ": " << got.reason;
            for (const auto& start : got.starts)
                EXPECT_EQ(start.trigger, 2) << c.name;
        }
    }
}

struct ZoneCase {
    const char* name;
    const char* zone;
    SchedTrigger trigger;
    const char* after;
    std::vector<std::string> starts; // with the offset in force
    std::vector<std::string> killAt; // empty when the trigger does not end its runs
};

TEST(ScheduleEngineTest, ClockChangesMoveStartsIntoTheGapEndAndRunRepeatedTimesOnce) {
    const ZoneCase cases[] = {
        {"spring forward: 02:30 runs at 03:00",
         "Europe/Madrid",
         Make(trigger::Daily, "2026-03-27", 2, 30),
         "2026-03-27 00:00",
         {"2026-03-27T02:30:00+01:00", "2026-03-28T02:30:00+01:00", "2026-03-29T03:00:00+02:00",
          "2026-03-30T02:30:00+02:00"},
         {}},
        {"fall back: 02:30 runs at its first occurrence",
         "Europe/Madrid",
         Make(trigger::Daily, "2026-10-24", 2, 30),
         "2026-10-24 12:00",
         {"2026-10-25T02:30:00+02:00", "2026-10-26T02:30:00+01:00"},
         {}},
        {"repetition counts elapsed minutes across spring forward",
         "Europe/Madrid",
         Make(trigger::Once, "2026-03-29", 1, 0).repeat(60, 180).flags(triggerflag::killAtDurationEnd),
         "2026-03-29 00:00",
         {"2026-03-29T01:00:00+01:00", "2026-03-29T03:00:00+02:00", "2026-03-29T04:00:00+02:00"},
         {"2026-03-29T05:00:00+02:00", "2026-03-29T05:00:00+02:00", "2026-03-29T05:00:00+02:00"}},
        {"repetition counts elapsed minutes across fall back",
         "Europe/Madrid",
         Make(trigger::Once, "2026-10-25", 1, 0).repeat(60, 240),
         "2026-10-25 00:00",
         {"2026-10-25T01:00:00+02:00", "2026-10-25T02:00:00+02:00", "2026-10-25T02:00:00+01:00",
          "2026-10-25T03:00:00+01:00"},
         {}},
        {"spring forward in New York",
         "America/New_York",
         Make(trigger::Weekly, "2026-03-01", 2, 30).weekly(day::Sun),
         "2026-03-01 12:00",
         {"2026-03-08T03:00:00-04:00", "2026-03-15T02:30:00-04:00"},
         {}},
        {"fall back in New York",
         "America/New_York",
         Make(trigger::MonthlyDOW, "2026-01-01", 1, 30).dow(1, day::Sun, month::All),
         "2026-10-15 00:00",
         {"2026-11-01T01:30:00-04:00", "2026-12-06T01:30:00-05:00"},
         {}},
        {"the end of the end day in a zone",
         "America/New_York",
         Make(trigger::Daily, "2026-03-07", 23, 0).repeat(30, 120).until("2026-03-07"),
         "2026-03-07 00:00",
         {"2026-03-07T23:00:00-05:00", "2026-03-07T23:30:00-05:00"},
         {}},
        {"kill at duration end",
         "UTC",
         Make(trigger::Once, "2026-03-10", 8, 0).repeat(60, 120).flags(2),
         "2026-03-10 00:00",
         {"2026-03-10T08:00:00+00:00", "2026-03-10T09:00:00+00:00"},
         {"2026-03-10T10:00:00+00:00", "2026-03-10T10:00:00+00:00"}},
        {"past 2037 the zone's yearly rule holds",
         "Europe/Madrid",
         Make(trigger::MonthlyDOW, "2026-01-01", 2, 30).dow(5, day::Sun, month::Mar | month::Jul),
         "2040-01-01 00:00",
         {"2040-03-25T03:00:00+02:00", "2040-07-29T02:30:00+02:00"},
         {}},
        {"southern hemisphere after 2037",
         "Australia/Sydney",
         Make(trigger::MonthlyDOW, "2026-01-01", 2, 30).dow(1, day::Sun, month::Apr | month::Oct),
         "2045-01-01 00:00",
         {"2045-04-02T02:30:00+11:00", "2045-10-01T03:00:00+11:00"},
         {}},
    };
    for (const auto& c : cases) {
        const ScheduleZone zone = ScheduleZone::Named(c.zone);
        const Schedule got = ScheduleEngine(zone).Next(
            c.trigger, At(zone, c.after), static_cast<int>(c.starts.size()) + (c.killAt.empty() ? 0 : 1));
        EXPECT_EQ(Isos(got, zone), c.starts) << c.name;
        std::vector<std::string> kills;
        for (const auto& start : got.starts) {
            if (start.killAt)
                kills.push_back(IsoInstant(*start.killAt, zone));
        }
        EXPECT_EQ(kills, c.killAt) << c.name;
    }
}

TEST(ScheduleEngineTest, TriggersThatNeverStartSayWhyAtOnce) {
    const auto set = [](Make make, auto change) {
        SchedTrigger t = make;
        change(t);
        return t;
    };
    const Make daily = Make(trigger::Daily, "2026-01-01", 8, 0);
    const struct {
        SchedTrigger trigger;
        const char* reason; // the reason, or the field it names
    } cases[] = {
        {Make(trigger::AtSystemStart, "2026-01-01"), "Se ejecuta al iniciar el sistema"},
        {Make(trigger::AtLogon, "2026-01-01"), "Se ejecuta al iniciar sesión"},
        {Make(trigger::OnIdle, "2026-01-01"), "Se ejecuta cuando el equipo está inactivo"},
        {Make(daily).flags(triggerflag::disabled), "Desencadenador deshabilitado"},
        {Make(daily).until("2026-01-31"), "La fecha de fin ya pasó"},
        {Make(trigger::Weekly, "2026-01-01").weekly(0), "Ningún día marcado"},
        {Make(trigger::MonthlyDOW, "2026-01-01").dow(1, 0, 1), "Ningún día marcado"},
        {Make(trigger::MonthlyDate, "2026-01-01").monthly(0, 1), "Ningún día marcado"},
        {Make(trigger::MonthlyDate, "2026-01-01").monthly(1, 0), "Ningún mes marcado"},
        {Make(trigger::MonthlyDate, "2026-01-01").monthly(1 << 29, month::Feb), "MonthlyDate_Day"},
        {Make(trigger::MonthlyDate, "2026-01-01").monthly(1 << 30, month::Feb | month::Apr),
         "MonthlyDate_Day"},
        {Make(trigger::MonthlyDate, "2026-01-01").monthly(1, 4096), "MonthlyDate_Months"},
        {Make(trigger::MonthlyDate, "2026-01-01").monthly(INT32_MIN, 1), "MonthlyDate_Day"},
        {Make(trigger::MonthlyDOW, "2026-01-01").dow(6, 1, 1), "MonthlyDOW_Week"},
        {Make(trigger::MonthlyDOW, "2026-01-01").dow(0, 1, 1), "MonthlyDOW_Week"},
        {Make(trigger::MonthlyDOW, "2026-01-01").dow(1, 1, INT32_MAX), "MonthlyDOW_Months"},
        {Make(trigger::MonthlyDOW, "2026-01-01").dow(1, 128, 1), "MonthlyDOW_DaysOfTheWeek"},
        {Make(trigger::Weekly, "2026-01-01").weekly(INT32_MAX), "Weekly_DaysOfTheWeek"},
        {Make(trigger::Weekly, "2026-01-01").weekly(1, 0), "Weekly_Interval"},
        {Make(trigger::Weekly, "2026-01-01").weekly(1, -3), "Weekly_Interval"},
        {Make(daily).every(0), "Daily_Interval"},
        {Make(daily).every(INT16_MIN), "Daily_Interval"},
        {Make(trigger::Daily, "2026-03-01").until("2026-02-01"), "EndDay"},
        {set(daily, [](SchedTrigger& t) { t.setFlags(triggerflag::hasEndDate); }), "EndDay"},
        {set(daily, [](SchedTrigger& t) { t.setBeginDay(ZeroDate()); }), "BeginDay"},
        {set(daily, [](SchedTrigger& t) { t.setBeginDay(QDateTime()); }), "BeginDay"},
        {set(daily, [](SchedTrigger& t) { t.setBeginDay(MakeDate(12000, 1, 1)); }), "BeginDay"},
        {set(daily, [](SchedTrigger& t) { t.setStartTime(QDateTime()); }), "StartTime"},
        {Make(daily).repeat(INT32_MAX, 10), "Interval"},
        {Make(daily).repeat(-1, 10), "Interval"},
        {Make(daily).repeat(10, INT32_MAX), "Duration"},
        {Make(daily).repeat(10, INT32_MIN), "Duration"},
        {set(daily, [](SchedTrigger& t) { t.setTriggerType(INT32_MIN); }), "TriggerType"},
        {set(daily, [](SchedTrigger& t) { t.setTriggerType(8); }), "TriggerType"},
    };
    const ScheduleZone zone = ScheduleZone::Named("Europe/Madrid");
    const ScheduleEngine engine(zone);
    for (const auto& c : cases) {
        const Schedule got = engine.Next(c.trigger, At(zone, "2026-06-01 00:00"), 5);
        EXPECT_TRUE(got.starts.empty()) << c.reason;
        EXPECT_NE(got.reason.find(c.reason), std::string::npos)
            << "expected " << c.reason << ", got " << got.reason;
    }
    // Instants at the ends of the clock's range give no start and no fault.
    for (const Instant after : {Instant::min(), Instant::max(), Instant{std::chrono::seconds{INT32_MIN}}}) {
        const Schedule got = engine.Next(Make(daily).repeat(1, TriggerDays::kMaxRepeatMinutes), after, 3);
        (void)got;
    }
}

TEST(ScheduleEngineTest, ATaskIsTheUnionOfItsEnabledTriggers) {
    const ScheduleZone zone = ScheduleZone::Named("Europe/Madrid");
    const ScheduleEngine engine(zone);
    SchedTriggers triggers;
    triggers.Add() = Make(trigger::Weekly, "2026-01-01", 8, 0).weekly(day::Mon);
    triggers.Add() = Make(trigger::Daily, "2026-01-01", 8, 0).every(2);
    triggers.Add() = Make(trigger::Daily, "2026-01-01", 9, 0).flags(triggerflag::disabled);
    triggers.Add() = Make(trigger::AtSystemStart, "2026-01-01");

    // Monday 05/01 08:00 is both the weekly and the every-other-day start: once, from trigger 1.
    const Schedule got = engine.Next(triggers, 0, At(zone, "2026-01-04 00:00"), 4);
    ASSERT_EQ(got.starts.size(), 4u);
    EXPECT_EQ(Walls(got, zone), (std::vector<std::string>{"05/01/2026 08:00:00", "07/01/2026 08:00:00",
                                                          "09/01/2026 08:00:00", "11/01/2026 08:00:00"}));
    EXPECT_EQ(got.starts[0].trigger, 1);
    EXPECT_EQ(got.starts[1].trigger, 2);
    EXPECT_TRUE(got.reason.empty());

    EXPECT_EQ(engine.Next(triggers, taskflag::disabled, At(zone, "2026-01-04 00:00"), 4).reason,
              "Deshabilitada");
    EXPECT_EQ(engine.Next(SchedTriggers{}, 0, At(zone, "2026-01-04 00:00"), 4).reason,
              "Sin desencadenadores");

    SchedTriggers events;
    events.Add() = Make(trigger::AtSystemStart, "2026-01-01");
    EXPECT_EQ(engine.Next(events, 0, At(zone, "2026-01-04 00:00"), 4).reason,
              "Se ejecuta al iniciar el sistema");
    events.Add() = Make(trigger::AtLogon, "2026-01-01");
    EXPECT_EQ(
        engine.Next(events, 0, At(zone, "2026-01-04 00:00"), 4).reason,
        "desencadenador 1: Se ejecuta al iniciar el sistema; desencadenador 2: Se ejecuta al iniciar sesión");
}

TEST(ScheduleZoneTest, NamesOffsetsAndTexts) {
    EXPECT_THROW(ScheduleZone::Named("Europe/Atlantida"), BrioError);
    const ScheduleZone madrid = ScheduleZone::Named("Europe/Madrid");
    EXPECT_EQ(madrid.Name(), "Europe/Madrid");
    const Instant summer = At(madrid, "2026-07-01 12:00");
    EXPECT_EQ(madrid.OffsetAt(summer), std::chrono::hours(2));
    EXPECT_EQ(IsoInstant(summer, madrid), "2026-07-01T12:00:00+02:00");
    EXPECT_EQ(WallText(summer, madrid), "01/07/2026 12:00:00");
    const ScheduleZone newYork = ScheduleZone::Named("America/New_York");
    EXPECT_EQ(IsoInstant(summer, newYork), "2026-07-01T06:00:00-04:00");
    EXPECT_EQ(IsoInstant(At(ScheduleZone::Named("Asia/Kolkata"), "2026-07-01 12:00"), newYork),
              "2026-07-01T02:30:00-04:00");
    EXPECT_EQ(ScheduleZone::Named("UTC"), ScheduleZone::Named("UTC"));
}

} // namespace
