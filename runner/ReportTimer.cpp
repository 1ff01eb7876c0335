#include "ReportTimer.h"

#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace brio {

ReportTimer::ReportTimer(RunReporter* reports)
    : reports_(reports), fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}

ReportTimer::~ReportTimer() {
    if (fd_ >= 0)
        ::close(fd_);
}

void ReportTimer::Tend() {
    std::uint64_t expired = 0;
    while (fd_ >= 0 && ::read(fd_, &expired, sizeof expired) > 0) {
    }
    if (!reports_ || fd_ < 0)
        return;
    reports_->Tend(std::chrono::steady_clock::now());
    itimerspec when{};
    if (const std::optional<RunReporter::Moment> next = reports_->NextTend()) {
        // steady_clock is CLOCK_MONOTONIC; a time already past fires at once.
        const auto nanos = std::max<std::int64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(next->time_since_epoch()).count(), 1);
        when.it_value = {static_cast<time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
    }
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &when, nullptr);
}

} // namespace brio
