#pragma once

// A time zone of the tz database, kept behind this small type so callers need not see the date library.

#include <chrono>
#include <cstdint>
#include <string>

namespace brio {

// The local wall time of a zone, as seconds since 1970-01-01T00:00 of that wall clock.
using WallSeconds = std::chrono::duration<std::int64_t>;

class ScheduleZone {
public:
    // The host's zone: TZ when set (a leading ':' ignored), else /etc/localtime; UTC when neither names
    // a zone the tz database knows.
    static ScheduleZone Host();
    // A zone by its tz database name ("Europe/Madrid", "UTC"); an unknown name is error 5.
    static ScheduleZone Named(const std::string& name);

    std::string Name() const;
    // The offset from UTC in force at an instant.
    std::chrono::seconds OffsetAt(std::chrono::sys_seconds instant) const;
    // The wall time at an instant.
    WallSeconds ToWall(std::chrono::sys_seconds instant) const;
    // The instant of a wall time: in a spring-forward gap, the first instant after the gap; a wall time
    // that occurs twice, its first occurrence.
    std::chrono::sys_seconds FromWall(WallSeconds wall) const;

    bool operator==(const ScheduleZone& other) const noexcept { return zone_ == other.zone_; }

private:
    explicit ScheduleZone(const void* zone) : zone_(zone) {}
    const void* zone_; // a date::time_zone of the process's tz database
};

// "2026-03-29T03:00:00+02:00": the wall time at an instant with the offset in force then.
std::string IsoInstant(std::chrono::sys_seconds instant, const ScheduleZone& zone);
// "29/03/2026 03:00:00": the wall time at an instant, as the rest of the program writes dates.
std::string WallText(std::chrono::sys_seconds instant, const ScheduleZone& zone);

} // namespace brio
