// errno's message through the thread-safe strerror_r.
#include <cerrno>
#include <cstring>

#include "platform/error_text.h"

namespace zcv::platform {
namespace {

// strerror_r has two signatures; these overloads take either.
[[maybe_unused]] const char* Message(int result, const char* buffer) {
  return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* Message(const char* result, const char*) {
  return result ? result : "";
}

}  // namespace

std::string LastErrorText() {
  const int err = errno;
  char buffer[256] = {};
  std::string text = Message(strerror_r(err, buffer, sizeof buffer), buffer);
  if (!text.empty()) text += '\n';
  return text;
}

}  // namespace zcv::platform
