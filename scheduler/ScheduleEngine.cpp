#include "ScheduleEngine.h"

#include "TriggerDays.h"

#include <algorithm>
#include <exception>

namespace brio {

namespace {

using std::chrono::seconds;

constexpr std::int64_t kDay = 86400;
// The Gregorian calendar repeats every 400 years: a trigger that has no start in that span has none.
constexpr std::int64_t kSearchDays = 146097;
// 0001-01-01 and 9999-12-31 23:59:59: the dates a trigger can hold.
constexpr Instant kFirstInstant{seconds{-62135596800}};
constexpr Instant kLastInstant{seconds{253402300799}};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Time order; an instant found twice counted once, keeping the first found (the lower trigger).
void settle(std::vector<NextStart>& starts, std::size_t count) {
    std::stable_sort(starts.begin(), starts.end(),
                     [](const NextStart& a, const NextStart& b) { return a.start < b.start; });
    starts.erase(std::unique(starts.begin(), starts.end(),
                             [](const NextStart& a, const NextStart& b) { return a.start == b.start; }),
                 starts.end());
    if (starts.size() > count)
        starts.resize(count);
}

} // namespace

ScheduleEngine::ScheduleEngine(ScheduleZone zone) : zone_(zone) {}

Schedule ScheduleEngine::Next(const SchedTrigger& trigger, Instant after, int count, int triggerIndex) const {
    Schedule result;
    try {
        count = std::min(count, kMaxCount);
        if (count <= 0)
            return result;
        const TriggerDays days(trigger);
        if (!days.Reason().empty()) {
            result.reason = days.Reason();
            return result;
        }
        const bool once = trigger.TriggerType() == trigger::Once;
        after = std::max(after, kFirstInstant);
        if (after >= kLastInstant) {
            result.reason = "Ninguna ejecución antes del año 10000";
            return result;
        }
        const std::int64_t interval = std::int64_t{days.Interval()} * 60;
        const std::int64_t duration = std::int64_t{days.Duration()} * 60;
        const bool repeats = interval > 0 && duration > interval;
        // The last repetition of a start comes this long after it: the largest k·Interval below Duration.
        const std::int64_t lastRepeat = repeats ? (duration - 1) / interval * interval : 0;

        // Every start lies before 00:00 of the day after the end day.
        std::optional<Instant> endAt;
        if (days.EndDay())
            endAt = zone_.FromWall(WallSeconds{(*days.EndDay() + 1) * kDay});
        if (endAt && *endAt <= after) {
            result.reason = "La fecha de fin ya pasó";
            return result;
        }

        // The first day whose start can still repeat after `after`; one day earlier for the offset.
        std::int64_t day = floorDiv(zone_.ToWall(after - seconds{lastRepeat}).count(), kDay) - 1;
        const std::int64_t limit = floorDiv(zone_.ToWall(after).count(), kDay) + kSearchDays;
        const auto size = static_cast<std::size_t>(count);
        std::vector<NextStart> found;
        while (const auto next = days.FirstOnOrAfter(day, limit)) {
            day = *next + 1;
            const Instant start = zone_.FromWall(WallSeconds{*next * kDay + days.StartSecond()});
            if (endAt && start >= *endAt)
                break;
            // Settled once twice the count is gathered, so that each start is sorted a bounded number of
            // times.
            if (found.size() >= 2 * size) {
                settle(found, size);
                // Later days start no earlier than this one: nothing they give comes before the last kept.
                if (found.size() >= size && start >= found.back().start)
                    break;
            }
            std::int64_t k = 0;
            if (start <= after) {
                if (!repeats)
                    continue;
                k = (after - start).count() / interval + 1;
            }
            std::optional<Instant> killAt;
            if (days.KillsAtDurationEnd() && duration > 0)
                killAt = start + seconds{duration};
            // Without repetition a day gives its one start.
            for (int taken = 0; k * interval <= lastRepeat && taken < (repeats ? count : 1); ++k, ++taken) {
                const Instant at = start + seconds{k * interval};
                if (endAt && at >= *endAt)
                    break;
                found.push_back(NextStart{at, triggerIndex, killAt});
            }
        }
        settle(found, size);
        result.starts = std::move(found);
        if (result.starts.empty()) {
            if (endAt)
                result.reason = "No quedan ejecuciones antes de la fecha de fin";
            else if (once)
                result.reason = "La única ejecución ya pasó";
            else
                result.reason = "Ninguna ejecución en los próximos 400 años";
        }
    } catch (const std::exception& error) {
        result.starts.clear();
        result.reason = std::string("No se pudo calcular la próxima ejecución: ") + error.what();
    }
    return result;
}

Schedule ScheduleEngine::Next(const SchedTriggers& triggers, std::int32_t taskFlags, Instant after,
                              int count) const {
    Schedule result;
    if (taskFlags & taskflag::disabled) {
        result.reason = "Deshabilitada";
        return result;
    }
    if (triggers.Count() == 0) {
        result.reason = "Sin desencadenadores";
        return result;
    }
    std::vector<std::string> reasons;
    for (int index = 1; index <= triggers.Count(); ++index) {
        Schedule one = Next(triggers.items()[static_cast<std::size_t>(index - 1)], after, count, index);
        result.starts.insert(result.starts.end(), one.starts.begin(), one.starts.end());
        reasons.push_back(std::move(one.reason));
    }
    settle(result.starts, static_cast<std::size_t>(std::max(0, std::min(count, kMaxCount))));
    if (result.starts.empty() && count > 0) {
        // One reason when every trigger gives the same, else each trigger's own.
        if (std::all_of(reasons.begin(), reasons.end(),
                        [&](const std::string& r) { return r == reasons[0]; })) {
            result.reason = reasons[0];
        } else {
            for (std::size_t i = 0; i < reasons.size(); ++i) {
                if (!result.reason.empty())
                    result.reason += "; ";
                result.reason += "desencadenador " + std::to_string(i + 1) + ": " + reasons[i];
            }
        }
    }
    return result;
}

} // namespace brio
