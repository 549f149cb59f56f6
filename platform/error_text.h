// The operating system's text for the calling thread's last error.
#pragma once

#include <string>

namespace zcv::platform {

// The message for the last error of the calling thread, ending with a line
// feed so that a log entry built from it ends its line; empty when there is
// no text.
std::string LastErrorText();

}  // namespace zcv::platform
