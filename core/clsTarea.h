#pragma once

#include "Conversions.h"

#include <QDateTime>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace brio {

// A stored field with a getter named after the property and a setter set<Property>.
#define BRIO_PROPERTY(Type, Prop, Init)                                                                      \
public:                                                                                                      \
    const Type& Prop() const noexcept {                                                                      \
        return m_##Prop;                                                                                     \
    }                                                                                                        \
    void set##Prop(const Type& value) {                                                                      \
        m_##Prop = value;                                                                                    \
    }                                                                                                        \
                                                                                                             \
private:                                                                                                     \
    Type m_##Prop = Init;

// One scheduled task as the window shows it, read from the list file or from the scheduler.
// A plain value holder: it keeps no link to the entry or the task it came from.
class clsTarea {
    BRIO_PROPERTY(std::int32_t, Seleccion, 0)       // selection marker; the row starts checked when not 0
    BRIO_PROPERTY(std::int32_t, State, 0)           // status word; 128 = the program file was not found
    BRIO_PROPERTY(std::string, Name, {})            // the task's key in the list file and in the scheduler
    BRIO_PROPERTY(std::string, ApplicationName, {}) // full path of the program
    BRIO_PROPERTY(std::string, Text, {})            // readable schedule
    BRIO_PROPERTY(bool, Enabled, false)
    BRIO_PROPERTY(std::string, WorkingDirectory, {})
    BRIO_PROPERTY(std::string, CommandLine, {})
    BRIO_PROPERTY(bool, deleteWhenDone, false)
    BRIO_PROPERTY(bool, dontStartIfOnBatteries, false)
    BRIO_PROPERTY(bool, hidden, false) // hidden tasks are left out of the list view
    BRIO_PROPERTY(bool, interactive, false)
    BRIO_PROPERTY(bool, killIfGoingOnBatteries, false)
    BRIO_PROPERTY(bool, killOnIdleEnd, false)
    BRIO_PROPERTY(bool, restartOnIdleResume, false)
    BRIO_PROPERTY(bool, runIfConnectedToInternet, false)
    BRIO_PROPERTY(bool, runOnlyIfDocked, false)
    BRIO_PROPERTY(bool, runOnlyIfLoggedOn, false)
    BRIO_PROPERTY(bool, systemRequired, false)
    BRIO_PROPERTY(std::int32_t, triggerType, 0)
    BRIO_PROPERTY(std::string, typeDescription, {})
    BRIO_PROPERTY(std::int16_t, BeginDay, 0)
    BRIO_PROPERTY(QDateTime, StartTime, ZeroDate())
    BRIO_PROPERTY(std::int16_t, Duration, 0)
    BRIO_PROPERTY(QDateTime, EndDay, ZeroDate())
    BRIO_PROPERTY(std::int16_t, Interval, 0)
    BRIO_PROPERTY(std::int16_t, Flags, 0)
    BRIO_PROPERTY(std::int16_t, RandomInterval, 0)
    BRIO_PROPERTY(std::int16_t, Daily_Interval, 0)
    BRIO_PROPERTY(std::int16_t, MonthlyDate_Day, 0)
    BRIO_PROPERTY(std::int16_t, MonthlyDate_Months, 0)
    BRIO_PROPERTY(std::int16_t, MonthlyDOW_DaysOfTheWeek, 0)
    BRIO_PROPERTY(std::int16_t, MonthlyDOW_Months, 0)
    BRIO_PROPERTY(std::int16_t, MonthlyDOW_Week, 0)
    BRIO_PROPERTY(std::int16_t, Weekly_DaysOfTheWeek, 0)
    BRIO_PROPERTY(std::int16_t, Weekly_Interval, 0)
    BRIO_PROPERTY(std::int16_t, StartTimeRandom, 0) // minutes of random start shift at export; 0 = none
};

#undef BRIO_PROPERTY

// Arrays of records are zero-based; an empty vector means "none".
using TareaList = std::vector<clsTarea>;

// A list of task names; empty means "none".
using NameList = std::vector<std::string>;
inline bool IsArrayEmpty(const NameList& names) {
    return names.empty();
}

// How far an operation over several names got: names[0, done) were done and kept (a list file that
// could not be saved keeps none). After a failure, names[done] is the name it stopped at.
struct NameProgress {
    std::size_t done = 0;
    // Told after each name (done, total); false stops the operation before the next name, as a failure
    // there would, with OperationCancelled. None: it never stops.
    std::function<bool(std::size_t, std::size_t)> step;
};

// An operation over several names that was asked to stop: what was done before stays done.
class OperationCancelled : public std::runtime_error {
public:
    OperationCancelled() : std::runtime_error("operación cancelada") {}
};

} // namespace brio
