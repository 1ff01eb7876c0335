#pragma once

// When tasks start. The one engine every part uses: the runner, the command line and the property
// dialog's preview. Trigger fields are naive wall times of the zone given; results are instants.

#include "SchedTrigger.h"
#include "ScheduleZone.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brio {

using Instant = std::chrono::sys_seconds;

// One start of a task.
struct NextStart {
    Instant start;                 // the instant the run begins
    int trigger = 0;               // the trigger it came from, 1-based
    std::optional<Instant> killAt; // trigger flag 2: the instant the run is to be ended

    bool operator==(const NextStart&) const = default;
};

// The starts found, in time order; when there are none, `reason` says why in Spanish.
struct Schedule {
    std::vector<NextStart> starts;
    std::string reason;
};

class ScheduleEngine {
public:
    // The most starts one call gives; a larger count is taken as this.
    static constexpr int kMaxCount = 10000;

    explicit ScheduleEngine(ScheduleZone zone);

    // The next `count` starts of one trigger strictly after `after`; `triggerIndex` labels them.
    // Never throws: out-of-range fields give no start and a reason naming the field.
    Schedule Next(const SchedTrigger& trigger, Instant after, int count, int triggerIndex = 1) const;

    // The next `count` starts of a task (the union of its triggers, an instant shared by two triggers
    // counted once, with the lower trigger index); a task with the disabled flag has none.
    Schedule Next(const SchedTriggers& triggers, std::int32_t taskFlags, Instant after, int count) const;

    const ScheduleZone& Zone() const noexcept { return zone_; }

private:
    ScheduleZone zone_;
};

} // namespace brio
