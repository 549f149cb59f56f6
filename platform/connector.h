// Connecting to the first of a name's addresses that answers, racing them
// as Happy Eyeballs (version 2) does, the same on every system.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/net_status.h"
#include "platform/socket.h"

namespace zcv::platform {

// The wait before the next address is tried while earlier ones are still
// pending.
constexpr std::int64_t kConnectAttemptDelayMs = 250;

enum class TryOutcome { kNotTried, kConnected, kFailed, kTimedOut, kAbandoned };

// How one address fared; `error` is set for kFailed.
struct ConnectTry {
  IpAddress address;
  TryOutcome outcome = TryOutcome::kNotTried;
  int error = 0;
};

// Connects to the `addressCount` addresses (in the order to try them, at
// most 16 of them) at `port`: one attempt
// first, a further one every 250 ms while the earlier ones are pending, or
// at once when every earlier one has failed; the first socket that
// connects wins and the others are closed. No wait goes past `deadline_ms`.
// On success `*socket` is the connected, non-blocking socket (the caller
// closes it); otherwise a kConnect status. `tries`, when given, gets one
// row per address.
NetStatus ConnectFirst(const IpAddress* addresses, std::size_t addressCount, std::uint16_t port,
                       std::int64_t deadline_ms, SocketHandle* socket,
                       std::vector<ConnectTry>* tries = nullptr);

}  // namespace zcv::platform
