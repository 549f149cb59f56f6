// Wall-clock time, a monotonic clock for deadlines, and conversion to
// local broken-down time.
#pragma once

#include <cstdint>
#include <ctime>

namespace zcv::platform {

// Seconds since 1970-01-01 00:00:00 UTC.
std::time_t NowSeconds();

// Milliseconds of a clock that never goes back, from an arbitrary start:
// what deadlines are measured against.
std::int64_t MonotonicMs();

// Local broken-down time of the given instant; false when it has none.
bool ToLocalTime(std::time_t seconds, std::tm* out);

}  // namespace zcv::platform
