#include "ZoneRule.h"

#include <date/date.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace brio {

namespace {

constexpr std::int64_t kDay = 86400;

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool AtEnd() const { return at_ >= text_.size(); }
    bool Take(char c) {
        if (AtEnd() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }
    // A zone abbreviation: letters, or anything between '<' and '>'.
    bool Name() {
        if (Take('<')) {
            const auto close = text_.find('>', at_);
            if (close == std::string::npos)
                return false;
            at_ = close + 1;
            return true;
        }
        const auto from = at_;
        while (!AtEnd() && std::isalpha(static_cast<unsigned char>(text_[at_])))
            ++at_;
        return at_ - from >= 3;
    }
    bool Number(int& value, int maximum) {
        if (AtEnd() || !std::isdigit(static_cast<unsigned char>(text_[at_])))
            return false;
        value = 0;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            value = value * 10 + (text_[at_++] - '0');
            if (value > maximum)
                return false;
        }
        return true;
    }
    // [+-]hh[:mm[:ss]] as seconds.
    bool Time(std::int64_t& seconds) {
        const bool negative = Take('-');
        if (!negative)
            Take('+');
        int hours = 0, minutes = 0, secs = 0;
        if (!Number(hours, 167))
            return false;
        if (Take(':') && (!Number(minutes, 59) || (Take(':') && !Number(secs, 59))))
            return false;
        seconds = (hours * 3600 + minutes * 60 + secs) * (negative ? -1 : 1);
        return true;
    }
    char Peek() const { return AtEnd() ? '\0' : text_[at_]; }

private:
    const std::string& text_;
    std::size_t at_ = 0;
};

date::sys_days firstOfYear(int year) {
    return date::sys_days{date::year{year} / 1 / 1};
}

} // namespace

ZoneRule ZoneRule::ForZone(const std::string& name) {
    std::ifstream file("/usr/share/zoneinfo/" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The rule is the last line, between the last two newlines.
    if (bytes.size() < 2 || bytes.back() != '\n')
        return {};
    const auto open = bytes.rfind('\n', bytes.size() - 2);
    if (open == std::string::npos)
        return {};
    return Parse(bytes.substr(open + 1, bytes.size() - open - 2));
}

ZoneRule ZoneRule::Parse(const std::string& text) {
    ZoneRule rule;
    Reader in(text);
    std::int64_t west = 0;
    if (!in.Name() || !in.Time(west))
        return {};
    rule.stdOffset_ = -west;
    if (in.AtEnd())
        return rule;
    if (!in.Name())
        return {};
    rule.dstOffset_ = rule.stdOffset_ + 3600;
    if (in.Peek() != ',' && !in.AtEnd()) {
        if (!in.Time(west))
            return {};
        rule.dstOffset_ = -west;
    }
    // Without dates, the rule of the United States.
    rule.start_ = Change{'M', 3, 2, 0, 0, 7200};
    rule.end_ = Change{'M', 11, 1, 0, 0, 7200};
    for (Change* change : {&rule.start_, &rule.end_}) {
        if (in.AtEnd() && change == &rule.start_)
            break;
        if (!in.Take(','))
            return {};
        *change = Change{};
        if (in.Take('M')) {
            if (!in.Number(change->month, 12) || !in.Take('.') || !in.Number(change->week, 5) ||
                !in.Take('.') || !in.Number(change->weekday, 6) || change->month < 1 || change->week < 1)
                return {};
        } else {
            change->kind = in.Take('J') ? 'J' : 'N';
            if (!in.Number(change->day, 365) || (change->kind == 'J' && change->day < 1))
                return {};
        }
        if (in.Take('/') && !in.Time(change->time))
            return {};
    }
    if (!in.AtEnd())
        return {};
    rule.hasDst_ = rule.dstOffset_ != rule.stdOffset_;
    return rule;
}

ZoneRule::Seconds ZoneRule::changeInstant(const Change& change, int year, std::int64_t offset) const {
    date::sys_days day;
    if (change.kind == 'M') {
        const date::sys_days first{date::year{year} / static_cast<unsigned>(change.month) / 1};
        const int firstWeekday = static_cast<int>(date::weekday{first}.c_encoding());
        int dayOfMonth = 1 + (change.weekday - firstWeekday + 7) % 7 + (change.week - 1) * 7;
        const int last = static_cast<int>(static_cast<unsigned>(
            date::year_month_day_last{date::year{year} / change.month / date::last}.day()));
        while (dayOfMonth > last)
            dayOfMonth -= 7;
        day = first + date::days{dayOfMonth - 1};
    } else if (change.kind == 'J') {
        const bool leap = date::year{year}.is_leap();
        day = firstOfYear(year) + date::days{change.day - 1 + (leap && change.day >= 60 ? 1 : 0)};
    } else {
        day = firstOfYear(year) + date::days{change.day};
    }
    return Seconds{day.time_since_epoch().count() * kDay + change.time - offset};
}

bool ZoneRule::dstAt(Seconds instant) const {
    const auto wallDay =
        date::floor<date::days>(date::sys_seconds{instant + std::chrono::seconds{stdOffset_}});
    const int year = static_cast<int>(date::year_month_day{wallDay}.year());
    const Seconds start = changeInstant(start_, year, stdOffset_);
    const Seconds end = changeInstant(end_, year, dstOffset_);
    if (start < end)
        return start <= instant && instant < end;
    return !(end <= instant && instant < start);
}

std::chrono::seconds ZoneRule::OffsetAt(Seconds instant) const {
    return std::chrono::seconds{hasDst_ && dstAt(instant) ? dstOffset_ : stdOffset_};
}

ZoneRule::Seconds ZoneRule::FromWall(Seconds wall) const {
    const Seconds asStd = wall - Seconds{stdOffset_};
    if (!hasDst_)
        return asStd;
    const Seconds asDst = wall - Seconds{dstOffset_};
    const bool stdHolds = !dstAt(asStd);
    const bool dstHolds = dstAt(asDst);
    if (stdHolds && dstHolds)
        return std::min(asStd, asDst);
    if (stdHolds)
        return asStd;
    if (dstHolds)
        return asDst;
    // In a gap: the change that opens it lies between the two readings.
    const Seconds low = std::min(asStd, asDst), high = std::max(asStd, asDst);
    const auto wallDay = date::floor<date::days>(date::sys_seconds{wall});
    const int year = static_cast<int>(date::year_month_day{wallDay}.year());
    for (int y = year - 1; y <= year + 1; ++y) {
        for (const Seconds change :
             {changeInstant(start_, y, stdOffset_), changeInstant(end_, y, dstOffset_)}) {
            if (low <= change && change <= high)
                return change;
        }
    }
    return high;
}

} // namespace brio
