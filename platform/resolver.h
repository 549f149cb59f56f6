// The name resolver behind LookupIpv4 (platform/socket.h): what tests may
// change about it. Linux only; on Windows the system's configuration holds.
#pragma once

#include <string>

namespace zcv::platform {

// Sends every later lookup to these servers ("127.0.0.1:5353,..."); an
// empty text restores the system's configuration. For tests only.
void SetResolverServersForTesting(const std::string& servers);

}  // namespace zcv::platform
