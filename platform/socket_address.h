// The socket address of an IP address and port, for both families, shared
// by the POSIX and the Windows sockets (each includes its own socket headers
// before this one).
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/socket.h"

namespace zcv::platform {

// Fills *target with `address` and `port`; returns the length to pass on.
inline int FillSocketAddress(const IpAddress& address, std::uint16_t port,
                             sockaddr_storage* target) {
  std::memset(target, 0, sizeof *target);
  if (address.v6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(target);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    std::memcpy(&in6->sin6_addr, address.bytes, sizeof in6->sin6_addr);
    return static_cast<int>(sizeof *in6);
  }
  auto* in4 = reinterpret_cast<sockaddr_in*>(target);
  in4->sin_family = AF_INET;
  in4->sin_port = htons(port);
  std::memcpy(&in4->sin_addr.s_addr, address.bytes, sizeof in4->sin_addr.s_addr);
  return static_cast<int>(sizeof *in4);
}

}  // namespace zcv::platform
