// Wall-clock time, its conversion to local broken-down time, and a monotonic
// clock for deadlines that no change of the wall clock can move.
#pragma once

#include <cstdint>
#include <ctime>

namespace zcv::platform {

// Seconds since 1970-01-01 00:00:00 UTC.
std::time_t NowSeconds();

// Local broken-down time of the given instant; false when it has none.
bool ToLocalTime(std::time_t seconds, std::tm* out);

// Milliseconds on a clock that only moves forward, from an arbitrary origin
// in the past (always above 0). Deadlines of waits are given on it.
std::int64_t MonotonicMilliseconds();

}  // namespace zcv::platform
