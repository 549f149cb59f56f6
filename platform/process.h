// The calling process's id: what tells a connection kept before fork() from
// one the process made itself.
#pragma once

namespace zcv::platform {

unsigned long CurrentProcessId();

}  // namespace zcv::platform
