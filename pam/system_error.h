// The text of an errno value, from the thread-safe strerror_r.
#pragma once

#include <string.h>

#include <string>

namespace zcv::pam {

inline std::string SystemErrorText(int error) {
  char buffer[128] = {};
  // GNU strerror_r returns the text, in the buffer or a static string.
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace zcv::pam
