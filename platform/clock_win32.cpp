// Wall clock and local-time conversion with the C runtime of Windows, whose
// localtime_s fills the caller's record instead of a shared one.
#include <windows.h>

#include "platform/clock.h"

namespace zcv::platform {

std::time_t NowSeconds() { return std::time(nullptr); }

std::int64_t MonotonicMs() { return static_cast<std::int64_t>(::GetTickCount64()); }

bool ToLocalTime(std::time_t seconds, std::tm* out) { return localtime_s(out, &seconds) == 0; }

}  // namespace zcv::platform
