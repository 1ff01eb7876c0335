#pragma once

// Triggers written in one line for schedule tests: Make(trigger::Daily, "2026-01-30", 6, 15).every(3).

#include "Conversions.h"
#include "SchedTrigger.h"

#include <cstdio>

namespace brio::test {

class Make {
public:
    Make(std::int32_t type, const char* beginDay, int hour = 0, int minute = 0) {
        t_.setTriggerType(type);
        int y = 0, m = 0, d = 0;
        std::sscanf(beginDay, "%d-%d-%d", &y, &m, &d);
        t_.setBeginDay(MakeDate(y, m, d));
        t_.setStartTime(MakeDate(1899, 12, 30, hour, minute));
    }
    Make& every(int days) {
        t_.setDaily_Interval(static_cast<std::int16_t>(days));
        return *this;
    }
    Make& weekly(std::int32_t days, int weeks = 1) {
        t_.setWeekly_DaysOfTheWeek(days);
        t_.setWeekly_Interval(static_cast<std::int16_t>(weeks));
        return *this;
    }
    Make& monthly(std::int32_t days, std::int32_t months) {
        t_.setMonthlyDate_Day(days);
        t_.setMonthlyDate_Months(months);
        return *this;
    }
    Make& dow(std::int32_t week, std::int32_t days, std::int32_t months) {
        t_.setMonthlyDOW_Week(week);
        t_.setMonthlyDOW_DaysOfTheWeek(days);
        t_.setMonthlyDOW_Months(months);
        return *this;
    }
    Make& repeat(std::int32_t interval, std::int32_t duration) {
        t_.setInterval(interval);
        t_.setDuration(duration);
        return *this;
    }
    Make& until(const char* endDay) {
        int y = 0, m = 0, d = 0;
        std::sscanf(endDay, "%d-%d-%d", &y, &m, &d);
        t_.setEndDay(MakeDate(y, m, d));
        t_.setFlags(t_.Flags() | triggerflag::hasEndDate);
        return *this;
    }
    Make& flags(std::int32_t bits) {
        t_.setFlags(t_.Flags() | bits);
        return *this;
    }
    operator SchedTrigger() const { return t_; }
    const SchedTrigger& get() const { return t_; }

private:
    SchedTrigger t_;
};

namespace day {
constexpr std::int32_t Sun = 1, Mon = 2, Tue = 4, Wed = 8, Thu = 16, Fri = 32, Sat = 64;
} // namespace day
namespace month {
constexpr std::int32_t Jan = 1, Feb = 2, Mar = 4, Apr = 8, Jul = 64, Oct = 512, All = 0xFFF;
} // namespace month

} // namespace brio::test
