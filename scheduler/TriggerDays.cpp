#include "TriggerDays.h"

#include "DateTime.h"

#include <date/date.h>

#include <bit>

namespace brio {

namespace {

constexpr std::int64_t kUnixEpochJulianDay = 2440588;
constexpr std::int32_t kAllWeekdays = 0x7F;
constexpr std::int32_t kAllMonths = 0xFFF;
// The longest run of months without a marked day that exists: 29 February skips eight years at most.
constexpr int kMonthSearch = 12 * 9;

// Sunday 0 ... Saturday 6; 1970-01-01 was a Thursday.
int weekdayOf(std::int64_t day) {
    return static_cast<int>(((day + 4) % 7 + 7) % 7);
}

std::int64_t dayOf(int year, unsigned month, unsigned day) {
    return date::sys_days{date::year{year} / month / day}.time_since_epoch().count();
}

unsigned daysIn(int year, unsigned month) {
    return static_cast<unsigned>(date::year_month_day_last{date::year{year} / month / date::last}.day());
}

// The days of a date field as the wall calendar counts them; none when the field is unset.
std::optional<std::int64_t> dayField(const QDateTime& value) {
    if (!value.isValid() || value.date() == ZeroDate().date())
        return std::nullopt;
    return value.date().toJulianDay() - kUnixEpochJulianDay;
}

} // namespace

TriggerDays::TriggerDays(const SchedTrigger& trigger) {
    check(trigger);
}

bool TriggerDays::outOfRange(const char* field, long long value) {
    reason_ = std::string("Valor fuera del intervalo en ") + field + " (" + std::to_string(value) + ")";
    return false;
}

bool TriggerDays::check(const SchedTrigger& t) {
    type_ = t.TriggerType();
    if (t.Flags() & triggerflag::disabled) {
        reason_ = "Desencadenador deshabilitado";
        return false;
    }
    switch (type_) {
    case trigger::Once:
        break;
    case trigger::Daily:
        if (t.Daily_Interval() < 0)
            return outOfRange("Daily_Interval", t.Daily_Interval());
        if (t.Daily_Interval() == 0) {
            reason_ = "Cada 0 días: nunca se ejecuta (Daily_Interval)";
            return false;
        }
        step_ = t.Daily_Interval();
        break;
    case trigger::Weekly:
        if (t.Weekly_Interval() < 0)
            return outOfRange("Weekly_Interval", t.Weekly_Interval());
        if (t.Weekly_Interval() == 0) {
            reason_ = "Cada 0 semanas: nunca se ejecuta (Weekly_Interval)";
            return false;
        }
        if (t.Weekly_DaysOfTheWeek() < 0 || t.Weekly_DaysOfTheWeek() > kAllWeekdays)
            return outOfRange("Weekly_DaysOfTheWeek", t.Weekly_DaysOfTheWeek());
        step_ = t.Weekly_Interval();
        weekdays_ = static_cast<std::uint32_t>(t.Weekly_DaysOfTheWeek());
        break;
    case trigger::MonthlyDate:
        if (t.MonthlyDate_Day() < 0)
            return outOfRange("MonthlyDate_Day", t.MonthlyDate_Day());
        if (t.MonthlyDate_Months() < 0 || t.MonthlyDate_Months() > kAllMonths)
            return outOfRange("MonthlyDate_Months", t.MonthlyDate_Months());
        monthDays_ = static_cast<std::uint32_t>(t.MonthlyDate_Day());
        months_ = static_cast<std::uint32_t>(t.MonthlyDate_Months());
        break;
    case trigger::MonthlyDOW:
        if (t.MonthlyDOW_Week() < 1 || t.MonthlyDOW_Week() > 5)
            return outOfRange("MonthlyDOW_Week", t.MonthlyDOW_Week());
        if (t.MonthlyDOW_DaysOfTheWeek() < 0 || t.MonthlyDOW_DaysOfTheWeek() > kAllWeekdays)
            return outOfRange("MonthlyDOW_DaysOfTheWeek", t.MonthlyDOW_DaysOfTheWeek());
        if (t.MonthlyDOW_Months() < 0 || t.MonthlyDOW_Months() > kAllMonths)
            return outOfRange("MonthlyDOW_Months", t.MonthlyDOW_Months());
        week_ = t.MonthlyDOW_Week();
        weekdays_ = static_cast<std::uint32_t>(t.MonthlyDOW_DaysOfTheWeek());
        months_ = static_cast<std::uint32_t>(t.MonthlyDOW_Months());
        break;
    case trigger::OnIdle:
        reason_ = "Se ejecuta cuando el equipo está inactivo";
        return false;
    case trigger::AtSystemStart:
        reason_ = "Se ejecuta al iniciar el sistema";
        return false;
    case trigger::AtLogon:
        reason_ = "Se ejecuta al iniciar sesión";
        return false;
    default:
        reason_ = "Tipo de desencadenador desconocido (TriggerType " + std::to_string(type_) + ")";
        return false;
    }
    if ((type_ == trigger::Weekly || type_ == trigger::MonthlyDate || type_ == trigger::MonthlyDOW) &&
        (weekdays_ | monthDays_) == 0) {
        reason_ = "Ningún día marcado";
        return false;
    }
    if ((type_ == trigger::MonthlyDate || type_ == trigger::MonthlyDOW) && months_ == 0) {
        reason_ = "Ningún mes marcado";
        return false;
    }
    if (type_ == trigger::MonthlyDate) {
        // A leap year's February has every day a marked February day can name.
        bool exists = false;
        for (unsigned month = 1; month <= 12; ++month) {
            if (months_ & (1u << (month - 1)))
                exists = exists || (monthDays_ & monthDays(2000, month)) != 0;
        }
        if (!exists) {
            reason_ = "Ningún día marcado existe en los meses marcados (MonthlyDate_Day)";
            return false;
        }
    }

    const auto begin = dayField(t.BeginDay());
    if (!begin) {
        reason_ = "Falta la fecha de inicio (BeginDay)";
        return false;
    }
    if (t.BeginDay().date().year() < 1 || t.BeginDay().date().year() > 9999) {
        reason_ = "Valor fuera del intervalo en BeginDay (" + DayText(t.BeginDay().date()) + ")";
        return false;
    }
    begin_ = *begin;
    if (t.Flags() & triggerflag::hasEndDate) {
        const auto end = dayField(t.EndDay());
        if (!end) {
            reason_ = "Falta la fecha de fin (EndDay)";
            return false;
        }
        if (t.EndDay().date().year() < 1 || t.EndDay().date().year() > 9999) {
            reason_ = "Valor fuera del intervalo en EndDay (" + DayText(t.EndDay().date()) + ")";
            return false;
        }
        if (*end < begin_) {
            reason_ = "La fecha de fin es anterior a la de inicio (EndDay)";
            return false;
        }
        end_ = end;
    }
    if (!t.StartTime().isValid() || !t.StartTime().time().isValid()) {
        reason_ = "Falta la hora de inicio (StartTime)";
        return false;
    }
    startSecond_ = t.StartTime().time().hour() * 3600 + t.StartTime().time().minute() * 60;

    if (t.Interval() < 0 || t.Interval() > kMaxRepeatMinutes)
        return outOfRange("Interval", t.Interval());
    if (t.Duration() < 0 || t.Duration() > kMaxRepeatMinutes)
        return outOfRange("Duration", t.Duration());
    interval_ = t.Interval();
    duration_ = t.Duration();
    kill_ = (t.Flags() & triggerflag::killAtDurationEnd) != 0;
    return true;
}

std::uint32_t TriggerDays::monthDays(int year, unsigned month) const {
    const unsigned last = daysIn(year, month);
    if (type_ == trigger::MonthlyDate)
        return monthDays_ & ((1u << last) - 1);
    // Week 1 to 4 is days 1-7 ... 22-28; week 5 the month's last seven days. Each weekday once in each.
    const unsigned low = week_ == 5 ? last - 6 : 7 * static_cast<unsigned>(week_ - 1) + 1;
    const int lowWeekday = weekdayOf(dayOf(year, month, low));
    std::uint32_t bits = 0;
    for (int weekday = 0; weekday < 7; ++weekday) {
        if (weekdays_ & (1u << weekday))
            bits |= 1u << (low - 1 + static_cast<unsigned>((weekday - lowWeekday + 7) % 7));
    }
    return bits;
}

std::optional<std::int64_t> TriggerDays::FirstOnOrAfter(std::int64_t day, std::int64_t limit) const {
    if (!reason_.empty())
        return std::nullopt;
    if (day < begin_)
        day = begin_;
    if (end_ && *end_ < limit)
        limit = *end_;
    if (day > limit)
        return std::nullopt;
    std::optional<std::int64_t> found;
    switch (type_) {
    case trigger::Once:
        if (day == begin_)
            found = day;
        break;
    case trigger::Daily:
        found = begin_ + (day - begin_ + step_ - 1) / step_ * step_;
        break;
    case trigger::Weekly:
        found = firstWeekly(day);
        break;
    default:
        found = firstMonthly(day, limit);
        break;
    }
    if (found && *found > limit)
        return std::nullopt;
    return found;
}

std::optional<std::int64_t> TriggerDays::firstWeekly(std::int64_t day) const {
    // Weeks begin on Sunday; the week holding the begin day is week 0.
    const std::int64_t week0 = begin_ - weekdayOf(begin_);
    for (int pass = 0; pass < 2; ++pass) {
        std::int64_t week = (day - week0) / 7;
        if (const std::int64_t off = week % step_; off != 0) {
            week += step_ - off;
            day = week0 + 7 * week;
        }
        const std::uint32_t later = weekdays_ >> (day - (week0 + 7 * week));
        if (later != 0)
            return day + std::countr_zero(later);
        day = week0 + 7 * (week + step_);
    }
    return std::nullopt;
}

std::optional<std::int64_t> TriggerDays::firstMonthly(std::int64_t day, std::int64_t limit) const {
    const date::year_month_day from{date::sys_days{date::days{day}}};
    int year = static_cast<int>(from.year());
    unsigned month = static_cast<unsigned>(from.month());
    unsigned first = static_cast<unsigned>(from.day());
    for (int i = 0; i < kMonthSearch; ++i) {
        if (months_ & (1u << (month - 1))) {
            const std::uint32_t later = monthDays(year, month) >> (first - 1);
            if (later != 0)
                return dayOf(year, month, first) + std::countr_zero(later);
        }
        first = 1;
        if (++month > 12) {
            month = 1;
            ++year;
        }
        if (dayOf(year, month, 1) > limit)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace brio
