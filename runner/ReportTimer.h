#pragma once

#include "RunReporter.h"

namespace brio {

// The event loop's timer for the reports: a monotonic timer set to when they next need time.
class ReportTimer {
public:
    explicit ReportTimer(RunReporter* reports);
    ~ReportTimer();
    ReportTimer(const ReportTimer&) = delete;
    ReportTimer& operator=(const ReportTimer&) = delete;

    int Fd() const noexcept { return fd_; }
    // Gives the reports their time now and sets the timer for the next.
    void Tend();

private:
    RunReporter* reports_;
    int fd_ = -1;
};

} // namespace brio
