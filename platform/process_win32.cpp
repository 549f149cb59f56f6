// The process id through GetCurrentProcessId().
#include <windows.h>

#include "platform/process.h"

namespace zcv::platform {

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::GetCurrentProcessId()); }

}  // namespace zcv::platform
