#pragma once

#include "DateTime.h"

namespace brio {

// Where the runner reads the time of day: the program's one clock; tests give it a clock they move by
// hand, the runner the host's (HostClock()).
using RunnerClock = Clock;

} // namespace brio
