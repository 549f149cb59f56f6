// POSIX wall clock and reentrant local-time conversion.
#include "platform/clock.h"

namespace zcv::platform {

std::time_t NowSeconds() { return std::time(nullptr); }

bool ToLocalTime(std::time_t seconds, std::tm* out) {
  return localtime_r(&seconds, out) != nullptr;
}

}  // namespace zcv::platform
