#pragma once

// The yearly daylight-saving rule a zone file states at its end ("CET-1CEST,M3.5.0,M10.5.0/3"). The
// zone files list their transitions only up to 2037; later instants follow this rule.

#include <chrono>
#include <cstdint>
#include <string>

namespace brio {

class ZoneRule {
public:
    using Seconds = std::chrono::duration<std::int64_t>;

    // The rule at the end of the zone file of that name; one without daylight saving when there is none.
    static ZoneRule ForZone(const std::string& name);
    // A rule in the POSIX TZ form; one without daylight saving when the text cannot be read.
    static ZoneRule Parse(const std::string& text);

    bool HasDst() const noexcept { return hasDst_; }
    // The offset from UTC at an instant (seconds since 1970 UTC).
    std::chrono::seconds OffsetAt(Seconds instant) const;
    // The instant of a wall time: in a gap the first instant after it, a repeated time its first occurrence.
    Seconds FromWall(Seconds wall) const;

private:
    // One end of daylight saving: a day of the year and the wall time of day the change happens.
    struct Change {
        char kind = 'M'; // 'M' month.week.day, 'J' 1..365 without 29 February, 'N' 0..365
        int month = 0, week = 0, weekday = 0, day = 0;
        std::int64_t time = 7200; // seconds after the day's 00:00, may be negative or past 24 hours
    };

    Seconds changeInstant(const Change& change, int year, std::int64_t offset) const;
    bool dstAt(Seconds instant) const;

    bool hasDst_ = false;
    std::int64_t stdOffset_ = 0; // seconds east of UTC
    std::int64_t dstOffset_ = 0;
    Change start_, end_;
};

} // namespace brio
