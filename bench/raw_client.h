// The floor of a call: the same request bytes as TokenAuth sends, over a
// plain blocking socket, with nothing else around them.
#pragma once

#include <cstdint>
#include <string>

namespace zcv::bench {

// The reply BenchServer gives: status line, the two headers the service
// sends, and the body.
std::string HttpReplyOf(const std::string& body);

// The bytes TokenAuth(1, 2, ...) sends to a server at 127.0.0.1.
extern const char kAuthRequest[];

// A blocking TCP connection to 127.0.0.1:`port` with TCP_NODELAY (as the
// library's) and a five-second receive and send time-out; -1 on failure.
int ConnectLoopback(std::uint16_t port);

// One connection: blocking connect, one send, receive until the server
// closes, then look for "<Result>". True when it was found.
bool RawCall(std::uint16_t port, const std::string& request);

}  // namespace zcv::bench
