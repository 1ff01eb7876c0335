#pragma once

// The calendar side of a trigger: its fields checked, and the days of the wall calendar it falls on.
// Days are counted from 1970-01-01 of the wall calendar.

#include "SchedTrigger.h"

#include <cstdint>
#include <optional>
#include <string>

namespace brio {

class TriggerDays {
public:
    // Repetition spans longer than this (9999 hours 59 minutes) are out of range.
    static constexpr std::int32_t kMaxRepeatMinutes = 9999 * 60 + 59;

    // Reads and checks the fields; `Reason()` is not empty when the trigger has no calendar starts.
    explicit TriggerDays(const SchedTrigger& trigger);

    const std::string& Reason() const noexcept { return reason_; }
    // The first day on or after `day` the trigger falls on; none past the end day or past `limit`.
    std::optional<std::int64_t> FirstOnOrAfter(std::int64_t day, std::int64_t limit) const;

    std::int64_t BeginDay() const noexcept { return begin_; }
    // The last day counted; none without an end date.
    std::optional<std::int64_t> EndDay() const noexcept { return end_; }
    // Seconds after 00:00 of each start day.
    std::int64_t StartSecond() const noexcept { return startSecond_; }
    std::int32_t Interval() const noexcept { return interval_; }
    std::int32_t Duration() const noexcept { return duration_; }
    bool KillsAtDurationEnd() const noexcept { return kill_; }

private:
    bool check(const SchedTrigger& trigger);
    bool outOfRange(const char* field, long long value);
    std::optional<std::int64_t> firstWeekly(std::int64_t day) const;
    std::optional<std::int64_t> firstMonthly(std::int64_t day, std::int64_t limit) const;
    // Bit i set when day i + 1 of that month is a start day.
    std::uint32_t monthDays(int year, unsigned month) const;

    std::string reason_;
    std::int32_t type_ = 0;
    std::int64_t begin_ = 0;
    std::optional<std::int64_t> end_;
    std::int64_t startSecond_ = 0;
    std::int32_t interval_ = 0;
    std::int32_t duration_ = 0;
    bool kill_ = false;
    std::int32_t step_ = 1;      // days for daily, weeks for weekly
    std::uint32_t weekdays_ = 0; // Sunday 1 ... Saturday 64
    std::uint32_t monthDays_ = 0;
    std::uint32_t months_ = 0;
    std::int32_t week_ = 0;
};

} // namespace brio
