// POSIX wall clock and reentrant local-time conversion.
#include <time.h>

#include "platform/clock.h"

namespace zcv::platform {

std::time_t NowSeconds() { return std::time(nullptr); }

std::int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool ToLocalTime(std::time_t seconds, std::tm* out) {
  return localtime_r(&seconds, out) != nullptr;
}

}  // namespace zcv::platform
