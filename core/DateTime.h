#pragma once

// Dates and times as the program writes and reads them, and where it reads the time of day.

#include <QDateTime>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace brio {

// Where the program reads the time of day; tests give it a clock set by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::sys_seconds Now() const = 0;
};

// The host's wall clock.
const Clock& HostClock();
// The date at an instant in the host's zone.
QDate LocalDay(std::chrono::sys_seconds instant);

// Dates are floating local times: kept in UTC so that no daylight-saving gap shifts them.
QDateTime MakeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// The zero date of a new record: 30/12/1899 00:00:00.
QDateTime ZeroDate();

// "dd/MM/yyyy", "--/--/----" for a date that is not valid.
std::string DayText(const QDate& date);
// "dd/MM/yyyy HH:mm:ss", the form the list file stores; empty for a date that is not valid.
std::string DateToText(const QDateTime& value);

// The parts of a date text as written; the calendar is not checked here.
struct DateParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int millisecond = 0;    // the first three digits of the fraction
    int fractionDigits = 0; // 0 when there is no fraction
    char separator = 0;     // 'T' or ' ' between date and time; 0 for a date alone
    bool hasSeconds = false;
    bool hasZone = false; // "Z" or an offset, which is read past and not applied
};
// ISO 8601, "yyyy-MM-dd[(T| )HH:mm[:ss[.fraction]][Z|±hh[:]mm]]", two digits each but the year's four;
// callers take the shapes they accept.
std::optional<DateParts> ReadIso(std::string_view text);
// "dd/MM/yyyy[ HH:mm[:ss]]", one-digit day, month and hour allowed, "T" or blanks before the time.
std::optional<DateParts> ReadDayMonthYear(std::string_view text);

} // namespace brio
