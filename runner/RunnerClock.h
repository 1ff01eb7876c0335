#pragma once

#include <chrono>

namespace brio {

// Where the runner reads the time of day; tests give it a clock they move by hand.
class RunnerClock {
public:
    virtual ~RunnerClock() = default;
    virtual std::chrono::sys_seconds Now() const = 0;
};

// The host's wall clock.
class SystemClock : public RunnerClock {
public:
    std::chrono::sys_seconds Now() const override {
        return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
    }
};

} // namespace brio
