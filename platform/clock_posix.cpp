// POSIX wall clock, reentrant local-time conversion and CLOCK_MONOTONIC.
#include "platform/clock.h"

namespace zcv::platform {

std::time_t NowSeconds() { return std::time(nullptr); }

bool ToLocalTime(std::time_t seconds, std::tm* out) {
  return localtime_r(&seconds, out) != nullptr;
}

std::int64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // One millisecond added so that the origin itself is never a deadline of 0.
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + 1;
}

}  // namespace zcv::platform
