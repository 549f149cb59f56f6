// Wall clock and local-time conversion with the C runtime of Windows, whose
// localtime_s fills the caller's record instead of a shared one; the tick
// count of the system as the monotonic clock.
#include <windows.h>

#include "platform/clock.h"

namespace zcv::platform {

std::time_t NowSeconds() { return std::time(nullptr); }

bool ToLocalTime(std::time_t seconds, std::tm* out) { return localtime_s(out, &seconds) == 0; }

std::int64_t MonotonicMilliseconds() {
  // One millisecond added so that the origin itself is never a deadline of 0.
  return static_cast<std::int64_t>(::GetTickCount64()) + 1;
}

}  // namespace zcv::platform
