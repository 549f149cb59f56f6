// The process id through getpid().
#include <unistd.h>

#include "platform/process.h"

namespace zcv::platform {

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

}  // namespace zcv::platform
