#include "ScheduleZone.h"

#include "BrioError.h"
#include "ZoneRule.h"

#include <date/tz.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace brio {

namespace {

// The span after a zone's last listed transition ends far in the future (the library uses year 32767).
constexpr date::sys_seconds kOpenEnd{date::sys_days{date::year{3000} / 1 / 1}};

const date::time_zone* tz(const void* zone) {
    return static_cast<const date::time_zone*>(zone);
}

// TZ="/usr/share/zoneinfo/Europe/Madrid" names the zone by its file.
std::string zoneNameOf(std::string name) {
    if (!name.empty() && name.front() == ':')
        name.erase(0, 1);
    const auto at = name.find("/zoneinfo/");
    if (!name.empty() && name.front() == '/' && at != std::string::npos)
        name.erase(0, at + 10);
    return name;
}

const date::time_zone* locate(const std::string& name) noexcept {
    try {
        return date::locate_zone(name);
    } catch (...) {
        return nullptr;
    }
}

// The tz database's files end their explicit transitions in 2037; later instants follow the rule at the
// end of each zone file, read once per zone.
const ZoneRule& ruleOf(const date::time_zone* zone) {
    // The zone asked last by this thread, without the lock: a process mostly asks about one zone.
    thread_local const date::time_zone* lastZone = nullptr;
    thread_local const ZoneRule* lastRule = nullptr;
    if (zone == lastZone)
        return *lastRule;
    static std::mutex lock;
    static std::unordered_map<const date::time_zone*, ZoneRule> rules;
    const std::lock_guard<std::mutex> guard(lock);
    auto found = rules.find(zone);
    if (found == rules.end())
        found = rules.emplace(zone, ZoneRule::ForZone(zone->name())).first;
    lastZone = zone;
    lastRule = &found->second; // the map's elements stay where they are
    return found->second;
}

} // namespace

ScheduleZone ScheduleZone::Host() {
    const char* env = std::getenv("TZ");
    if (env) {
        const std::string name = zoneNameOf(env);
        const auto* zone = locate(name.empty() ? "UTC" : name);
        return ScheduleZone(zone ? zone : locate("UTC"));
    }
    try {
        return ScheduleZone(date::current_zone());
    } catch (...) {
        return ScheduleZone(locate("UTC"));
    }
}

ScheduleZone ScheduleZone::Named(const std::string& name) {
    const auto* zone = locate(zoneNameOf(name));
    if (!zone)
        throw BrioError(err::InvalidCall, "zona horaria desconocida: " + name);
    return ScheduleZone(zone);
}

std::string ScheduleZone::Name() const {
    return tz(zone_)->name();
}

std::chrono::seconds ScheduleZone::OffsetAt(std::chrono::sys_seconds instant) const {
    const auto info = tz(zone_)->get_info(date::sys_seconds{instant.time_since_epoch()});
    if (info.end > kOpenEnd) {
        const ZoneRule& rule = ruleOf(tz(zone_));
        if (rule.HasDst())
            return rule.OffsetAt(instant.time_since_epoch());
    }
    return info.offset;
}

WallSeconds ScheduleZone::ToWall(std::chrono::sys_seconds instant) const {
    return WallSeconds{instant.time_since_epoch() + OffsetAt(instant)};
}

std::chrono::sys_seconds ScheduleZone::FromWall(WallSeconds wall) const {
    const date::local_seconds local{std::chrono::duration_cast<std::chrono::seconds>(wall)};
    const auto info = tz(zone_)->get_info(local);
    if (info.result == date::local_info::unique && info.first.end > kOpenEnd) {
        const ZoneRule& rule = ruleOf(tz(zone_));
        if (rule.HasDst())
            return std::chrono::sys_seconds{rule.FromWall(wall)};
    }
    switch (info.result) {
    case date::local_info::nonexistent:
        // In a spring-forward gap: the instant the clock jumps, the first one after the gap.
        return std::chrono::sys_seconds{info.second.begin.time_since_epoch()};
    default:
        // Unique, or the first of the two occurrences of a repeated wall time.
        return std::chrono::sys_seconds{(local - info.first.offset).time_since_epoch()};
    }
}

std::string IsoInstant(std::chrono::sys_seconds instant, const ScheduleZone& zone) {
    const auto offset = zone.OffsetAt(instant).count();
    const auto wall = date::local_seconds{instant.time_since_epoch() + std::chrono::seconds{offset}};
    const auto day = date::floor<date::days>(wall);
    const date::year_month_day ymd{day};
    const date::hh_mm_ss<std::chrono::seconds> time{wall - day};
    const long long magnitude = offset < 0 ? -offset : offset;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d%c%02d:%02d",
                  static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                  offset < 0 ? '-' : '+', static_cast<int>(magnitude / 3600),
                  static_cast<int>(magnitude / 60 % 60));
    return buffer;
}

std::string WallText(std::chrono::sys_seconds instant, const ScheduleZone& zone) {
    const auto wall = date::local_seconds{zone.ToWall(instant)};
    const auto day = date::floor<date::days>(wall);
    const date::year_month_day ymd{day};
    const date::hh_mm_ss<std::chrono::seconds> time{wall - day};
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%02u/%02u/%04d %02d:%02d:%02d", static_cast<unsigned>(ymd.day()),
                  static_cast<unsigned>(ymd.month()), static_cast<int>(ymd.year()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return buffer;
}

} // namespace brio
