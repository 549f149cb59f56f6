// IPv4 TCP sockets for the HTTP client: host lookup, non-blocking connect,
// readiness waits up to a deadline, single send and receive calls, and
// error texts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zcv::platform {

using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;

// Resolver failures, numbered as the Windows resolver numbers them; other
// resolvers' errors are mapped onto these by meaning.
constexpr int kLookupHostNotFound = 11001;
constexpr int kLookupTryAgain = 11002;
constexpr int kLookupNoRecovery = 11003;
constexpr int kLookupNoData = 11004;
// Any resolver failure that has none of the meanings above.
constexpr int kLookupUnknown = -1;

struct Ipv4Address {
  std::uint8_t bytes[4] = {};  // in network order
  std::uint16_t port = 0;      // in host order
};

// The lookup code above for a resolver error of this platform.
int MapResolverError(int resolver_error);

// Fills `address->bytes` with the first IPv4 address of `host` (a name or a
// dotted address). A dotted address never reaches the resolver; a name
// that has not been answered within `timeoutMs` milliseconds fails as an
// unknown host. 0 on success, otherwise one of the kLookup codes.
// Thread-safe.
int LookupIpv4(const char* host, Ipv4Address* address, std::int64_t timeoutMs);

// A new IPv4 stream socket, or kNoSocket with `*error` set. Where the system
// can, it is made non-blocking at once, saving PrepareTcpSocket that step.
SocketHandle OpenTcpSocket(int* error);

// Non-blocking mode (unless the socket was made so at its creation) without
// send coalescing delay. 0, or an error number.
int PrepareTcpSocket(SocketHandle socket);

// Non-blocking mode alone, for a stream socket of any kind. 0, or an error
// number.
int MakeNonBlocking(SocketHandle socket);

// Starts connecting; 0 when the attempt is under way or complete, otherwise
// an error number.
int StartConnect(SocketHandle socket, const Ipv4Address& address);

// The waits below end at `deadline_ms`, a time on MonotonicMilliseconds()
// (platform/clock.h); a deadline already past still looks once.

// Waits for a started connection. 1 connected; -1 failed, `*error` then
// holds the pending error (a time-out reports TimedOutError()).
int WaitConnected(SocketHandle socket, std::int64_t deadline_ms, int* error);

// 1 ready; 0 timed out; -1 error. A closed or failed peer counts as ready
// so that the following call reports it.
int WaitReadable(SocketHandle socket, std::int64_t deadline_ms);
int WaitWritable(SocketHandle socket, std::int64_t deadline_ms);

// The error number of a wait that ran out of time.
int TimedOutError();

// What SendSome and ReceiveSome return when the socket cannot move a byte
// without blocking.
constexpr long kWouldBlock = -2;

// One send call that never raises a signal. The count sent, kWouldBlock,
// or -1 with `*error` set.
long SendSome(SocketHandle socket, const char* bytes, std::size_t length, int* error);

// One receive call: the count received (0 when the peer closed),
// kWouldBlock, or -1 with `*error` set.
long ReceiveSome(SocketHandle socket, char* bytes, std::size_t length, int* error);

void CloseSocket(SocketHandle socket);

// The standard message for an error number, written into `buffer`
// (always terminated); returns `buffer`.
const char* ErrorNumberText(int error, char* buffer, std::size_t size);

}  // namespace zcv::platform
