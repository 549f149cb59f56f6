// Formatting of a failure's reason.
#include "platform/net_status.h"

#include <cstdarg>
#include <cstdio>

namespace zcv::platform {

NetStatus NetStatus::Failure(NetKind kind, const char* format, ...) {
  NetStatus status;
  status.kind_ = kind;
  std::va_list arguments;
  va_start(arguments, format);
  const int written = std::vsnprintf(status.reason_, sizeof status.reason_, format, arguments);
  va_end(arguments);
  if (written < 0) status.reason_[0] = '\0';
  return status;
}

}  // namespace zcv::platform
