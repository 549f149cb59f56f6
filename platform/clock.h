// Wall-clock time and its conversion to local broken-down time.
#pragma once

#include <ctime>

namespace zcv::platform {

// Seconds since 1970-01-01 00:00:00 UTC.
std::time_t NowSeconds();

// Local broken-down time of the given instant; false when it has none.
bool ToLocalTime(std::time_t seconds, std::tm* out);

}  // namespace zcv::platform
