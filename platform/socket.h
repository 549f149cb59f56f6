// TCP sockets over IPv4 and IPv6 for the HTTP client: addresses and their
// text forms, non-blocking connects, readiness waits up to a deadline,
// single send and receive calls, and error texts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zcv::platform {

using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;

// An IPv4 or IPv6 address, in network order (4 bytes used for IPv4).
struct IpAddress {
  bool v6 = false;
  std::uint8_t bytes[16] = {};
};

// Room for the longest text form of an address, its terminator included.
constexpr std::size_t kIpTextBytes = 46;

// True when `text` is a dotted quad or an IPv6 address in its text form
// (no brackets, no zone index), with `*address` filled; false for anything
// else, names included. Never asks a resolver.
bool ParseIpAddress(const char* text, IpAddress* address);

// The address's text form (IPv6 without brackets), written into `buffer`
// (always terminated); returns `buffer`.
const char* FormatIpAddress(const IpAddress& address, char* buffer, std::size_t size);

// A new non-blocking stream socket of the address's family, without send
// coalescing delay, or kNoSocket with `*error` set.
SocketHandle OpenTcpSocket(const IpAddress& address, int* error);

// Starts connecting to `address` at `port`; 0 when the attempt is under way
// or complete, otherwise an error number.
int StartConnect(SocketHandle socket, const IpAddress& address, std::uint16_t port);

// The waits below end at `deadline_ms`, a time on MonotonicMilliseconds()
// (platform/clock.h); a deadline already past still looks once.

// Waits until one of the `count` sockets, each with a connect started,
// has its connect end: its index, with `*error` 0 when it connected and
// its error number otherwise; -1 when none ended before the deadline (or
// the wait itself failed, `*error` then set, TimedOutError() for time).
int WaitAnyConnected(const SocketHandle* sockets, int count, std::int64_t deadline_ms, int* error);

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

// True when the socket has nothing to read and its peer has not closed,
// found without waiting: what a kept connection must be before its reuse.
bool SocketIsQuiet(SocketHandle socket);

void CloseSocket(SocketHandle socket);

// A text for an error number, written into `buffer` (always terminated);
// returns `buffer`. The errors a connection commonly meets (refused,
// reset, unreachable, timed out) get this library's own words, the same on
// every system; any other the system's message.
const char* ErrorNumberText(int error, char* buffer, std::size_t size);

}  // namespace zcv::platform
