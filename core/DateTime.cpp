#include "DateTime.h"

#include <cctype>
#include <cstdio>

namespace brio {

namespace {

class HostWallClock : public Clock {
public:
    std::chrono::sys_seconds Now() const override {
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    }
};

// A small reader over a date text: digits, exact characters, the end.
struct Scanner {
    std::string_view t;
    std::size_t i = 0;
    // `count` digits at least and `most` at most.
    bool digits(int count, int most, int& out) {
        int n = 0;
        out = 0;
        while (i < t.size() && n < most && std::isdigit(static_cast<unsigned char>(t[i]))) {
            out = out * 10 + (t[i++] - '0');
            ++n;
        }
        return n >= count;
    }
    bool take(char c) {
        if (i < t.size() && t[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    bool done() const { return i == t.size(); }
};

// "HH:mm[:ss]" into `p`, the hour with at least `hourDigits` digits.
bool readClock(Scanner& s, int hourDigits, DateParts& p) {
    if (!s.digits(hourDigits, 2, p.hour) || !s.take(':') || !s.digits(2, 2, p.minute))
        return false;
    p.hasSeconds = s.take(':');
    return !p.hasSeconds || s.digits(2, 2, p.second);
}

} // namespace

const Clock& HostClock() {
    static const HostWallClock clock;
    return clock;
}

QDate LocalDay(std::chrono::sys_seconds instant) {
    return QDateTime::fromSecsSinceEpoch(instant.time_since_epoch().count(), Qt::LocalTime).date();
}

QDateTime MakeDate(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}

QDateTime ZeroDate() {
    static const QDateTime zero = MakeDate(1899, 12, 30);
    return zero;
}

std::string DayText(const QDate& date) {
    if (!date.isValid())
        return "--/--/----";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", date.day(), date.month(), date.year());
    return buffer;
}

std::string DateToText(const QDateTime& value) {
    return value.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")).toStdString();
}

std::optional<DateParts> ReadIso(std::string_view text) {
    DateParts p;
    Scanner s{text};
    if (!s.digits(4, 4, p.year) || !s.take('-') || !s.digits(2, 2, p.month) || !s.take('-') ||
        !s.digits(2, 2, p.day))
        return std::nullopt;
    if (s.done())
        return p;
    p.separator = s.take('T') ? 'T' : s.take(' ') ? ' ' : 0;
    if (!p.separator || !readClock(s, 2, p))
        return std::nullopt;
    if (p.hasSeconds && s.take('.')) {
        const std::size_t from = s.i;
        int fraction = 0;
        if (!s.digits(1, 9, fraction))
            return std::nullopt;
        p.fractionDigits = static_cast<int>(s.i - from);
        for (std::size_t k = 0; k < 3; ++k)
            p.millisecond = p.millisecond * 10 + (from + k < s.i ? text[from + k] - '0' : 0);
    }
    if (s.take('Z')) {
        p.hasZone = true;
    } else if (s.take('+') || s.take('-')) {
        int zone = 0;
        if (!s.digits(2, 2, zone))
            return std::nullopt;
        s.take(':');
        if (!s.digits(2, 2, zone))
            return std::nullopt;
        p.hasZone = true;
    }
    if (!s.done())
        return std::nullopt;
    return p;
}

std::optional<DateParts> ReadDayMonthYear(std::string_view text) {
    DateParts p;
    Scanner s{text};
    if (!s.digits(1, 2, p.day) || !s.take('/') || !s.digits(1, 2, p.month) || !s.take('/') ||
        !s.digits(4, 4, p.year))
        return std::nullopt;
    if (s.done())
        return p;
    p.separator = s.take(' ') ? ' ' : s.take('T') ? 'T' : 0;
    if (!p.separator)
        return std::nullopt;
    while (s.take(' ')) {
    }
    if (!readClock(s, 1, p))
        return std::nullopt;
    if (!s.done())
        return std::nullopt;
    return p;
}

} // namespace brio
