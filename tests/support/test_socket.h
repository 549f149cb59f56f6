// The few socket calls that the loopback test servers make, so that their
// logic is written once: POSIX sockets on Linux, Windows Sockets in the
// Windows test build. Sockets are ints, as the library's own code takes them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zcv::test::net {

using Clock = std::chrono::steady_clock;

constexpr int kNoSocket = -1;
// What SendSome and ReceiveSome return when the socket cannot take or give
// a byte yet.
constexpr long kAgain = -1;

enum class Wait { kReady, kTimedOut, kStopped };

#ifndef _WIN32
// Servers made from now on listen on ::1 alone (IPv6 only) instead of
// 127.0.0.1; false restores that. Set before a server is made.
void ListenOnIpv6Loopback(bool v6);
#endif
enum class Readiness { kNone, kReadable, kWritable };

// Waits until `socket` is ready as asked (with kNone, or socket kNoSocket,
// only the wake-up is watched), `wake` is signalled, or `deadline` passes;
// Clock::time_point::max() waits without limit. A failed wait counts as
// kStopped, so no caller can spin on it.
Wait WaitFor(int socket, Readiness readiness, int wake, Clock::time_point deadline);

// The count of bytes sent (> 0), kAgain, or 0 when the socket failed.
long SendSome(int socket, std::string_view bytes);
// The count of bytes read (> 0) without waiting, kAgain, or 0 once the
// peer has closed or the socket failed.
long ReceiveSome(int socket, char* buffer, std::size_t size);

// Sends no more; the peer reads end-of-file once it has taken the bytes.
void ShutDownSending(int socket);
void CloseSocket(int socket);
// An abortive close: the peer sees a connection reset.
void ResetSocket(int socket);

// A socket listening on 127.0.0.1 at a port of the system's choice, which
// *port receives; kNoSocket on failure.
int ListenOnLoopback(std::uint16_t* port);
// Bound the same way but never listening, so connections are refused.
int BindOnLoopback(std::uint16_t* port);
// The next connection, non-blocking and without send delay; kNoSocket if
// none could be taken.
int Accept(int listener);

// *watch becomes readable once SignalWakeUp(signal) has been called.
bool MakeWakeUp(int* watch, int* signal);
void SignalWakeUp(int signal);
void CloseWakeUp(int watch, int signal);

// Two connected stream sockets; ReceiveSome never waits on *remote.
bool MakeSocketPair(int* local, int* remote);

}  // namespace zcv::test::net
