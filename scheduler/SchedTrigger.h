#pragma once

#include "Conversions.h"

#include <QDateTime>

#include <cstdint>
#include <string>
#include <vector>

namespace brio {

// Task flag bits of the scheduler's work items.
namespace taskflag {
constexpr std::int32_t interactive = 1;
constexpr std::int32_t deleteWhenDone = 2;
constexpr std::int32_t disabled = 4;
constexpr std::int32_t startOnlyIfIdle = 16;
constexpr std::int32_t killOnIdleEnd = 32;
constexpr std::int32_t dontStartIfOnBatteries = 64;
constexpr std::int32_t killIfGoingOnBatteries = 128;
constexpr std::int32_t runOnlyIfDocked = 256;
constexpr std::int32_t hidden = 512;
constexpr std::int32_t runIfConnectedToInternet = 1024;
constexpr std::int32_t restartOnIdleResume = 2048;
constexpr std::int32_t systemRequired = 4096;
constexpr std::int32_t runOnlyIfLoggedOn = 8192;
} // namespace taskflag

// Trigger types.
namespace trigger {
constexpr std::int32_t Once = 0;
constexpr std::int32_t Daily = 1;
constexpr std::int32_t Weekly = 2;
constexpr std::int32_t MonthlyDate = 3;
constexpr std::int32_t MonthlyDOW = 4;
constexpr std::int32_t OnIdle = 5;
constexpr std::int32_t AtSystemStart = 6;
constexpr std::int32_t AtLogon = 7;
} // namespace trigger

// Trigger flag bits.
namespace triggerflag {
constexpr std::int32_t hasEndDate = 1;
constexpr std::int32_t killAtDurationEnd = 2;
constexpr std::int32_t disabled = 4;
} // namespace triggerflag

#define BRIO_TRIGGER_FIELD(Type, Prop, Init)                                                                 \
public:                                                                                                      \
    Type Prop() const noexcept {                                                                             \
        return m_##Prop;                                                                                     \
    }                                                                                                        \
    void set##Prop(Type value) {                                                                             \
        m_##Prop = value;                                                                                    \
    }                                                                                                        \
                                                                                                             \
private:                                                                                                     \
    Type m_##Prop = Init;

// One trigger of a scheduler task. Days of the week: Sunday 1, Monday 2 ... Saturday 64. Days of the
// month: bit 0 is day 1 ... bit 30 is day 31. Months: January 1 ... December 2048. MonthlyDOW_Week 1 to 4
// is the first to fourth week, 5 the last. Duration and Interval are minutes.
class SchedTrigger {
    BRIO_TRIGGER_FIELD(std::int32_t, TriggerType, trigger::Daily)
    BRIO_TRIGGER_FIELD(QDateTime, BeginDay, ZeroDate())  // only the date counts
    BRIO_TRIGGER_FIELD(QDateTime, StartTime, ZeroDate()) // only the time of day counts
    BRIO_TRIGGER_FIELD(std::int32_t, Duration, 0)        // repeat for this many minutes after each start
    BRIO_TRIGGER_FIELD(QDateTime, EndDay, ZeroDate())    // counts when trigger flag 1 is set
    BRIO_TRIGGER_FIELD(std::int32_t, Interval, 0)        // repeat every this many minutes
    BRIO_TRIGGER_FIELD(std::int32_t, Flags, 0)
    BRIO_TRIGGER_FIELD(std::int16_t, RandomInterval, 0)
    BRIO_TRIGGER_FIELD(std::int16_t, Daily_Interval, 1)
    BRIO_TRIGGER_FIELD(std::int32_t, Weekly_DaysOfTheWeek, 0)
    BRIO_TRIGGER_FIELD(std::int16_t, Weekly_Interval, 1)
    BRIO_TRIGGER_FIELD(std::int32_t, MonthlyDate_Day, 0)
    BRIO_TRIGGER_FIELD(std::int32_t, MonthlyDate_Months, 0)
    BRIO_TRIGGER_FIELD(std::int32_t, MonthlyDOW_DaysOfTheWeek, 0)
    BRIO_TRIGGER_FIELD(std::int32_t, MonthlyDOW_Months, 0)
    BRIO_TRIGGER_FIELD(std::int32_t, MonthlyDOW_Week, 0)

public:
    // The readable Spanish description of the schedule, made from the fields.
    std::string Text() const;

    bool operator==(const SchedTrigger&) const = default;
};

#undef BRIO_TRIGGER_FIELD

// The triggers of one task, in order. Indexes are 1-based; outside 1..Count is error 9.
class SchedTriggers {
public:
    int Count() const noexcept { return static_cast<int>(items_.size()); }
    SchedTrigger& Item(int index);
    const SchedTrigger& Item(int index) const;
    // Appends a new trigger and returns it; the reference holds until the next Add or Remove.
    SchedTrigger& Add();
    // Removes the trigger at `index` (1-based).
    void Remove(int index);

    std::vector<SchedTrigger>& items() noexcept { return items_; }
    const std::vector<SchedTrigger>& items() const noexcept { return items_; }
    bool operator==(const SchedTriggers&) const = default;

private:
    std::vector<SchedTrigger> items_;
};

} // namespace brio
