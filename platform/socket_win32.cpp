// Windows Sockets behind platform/socket.h: ioctlsocket, and select with
// the time left until a deadline (name lookups are in resolver_win32.cpp).
// The socket layer is started once when the DLL is loaded.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <cstring>
#include <initializer_list>

#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/socket_address.h"

namespace zcv::platform {
namespace {

// A socket is a kernel handle, whose value Windows keeps within 32 bits on
// 64-bit systems too (sign-extended), so an int holds it; a value that does
// not survive the round trip is refused where it is made.
static_assert(sizeof(SocketHandle) == 4 && sizeof(SOCKET) >= sizeof(SocketHandle),
              "SocketHandle holds a SOCKET's 32 significant bits");

constexpr std::size_t kMaxChunk = INT_MAX;
// What the seconds of a timeval hold, in milliseconds.
constexpr std::int64_t kMaxWaitMilliseconds = static_cast<std::int64_t>(LONG_MAX) * 1000;

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// The time left until `deadline_ms`, at most what a timeval's seconds hold.
timeval TimeLeft(std::int64_t deadline_ms) {
  std::int64_t left = deadline_ms - MonotonicMilliseconds();
  if (left < 0) left = 0;
  if (left > kMaxWaitMilliseconds) left = kMaxWaitMilliseconds;
  timeval limit{};
  limit.tv_sec = static_cast<long>(left / 1000);
  limit.tv_usec = static_cast<long>(left % 1000) * 1000;
  return limit;
}

// One select on this socket alone until the deadline; the select result.
int SelectOne(SocketHandle socket, fd_set* read, fd_set* write, fd_set* error,
              std::int64_t deadline_ms) {
  for (fd_set* set : {read, write, error}) {
    if (set == nullptr) continue;
    FD_ZERO(set);
    FD_SET(Native(socket), set);
  }
  timeval limit = TimeLeft(deadline_ms);
  return ::select(0, read, write, error, &limit);
}

int Wait(SocketHandle socket, bool forWriting, std::int64_t deadline_ms) {
  if (socket == kNoSocket) return -1;
  fd_set ready;
  const int result = forWriting ? SelectOne(socket, nullptr, &ready, nullptr, deadline_ms)
                                : SelectOne(socket, &ready, nullptr, nullptr, deadline_ms);
  if (result > 0) return 1;
  return result == 0 ? 0 : -1;
}

int PendingError(SocketHandle socket, int* pending) {
  int length = sizeof *pending;
  return ::getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(pending),
                      &length);
}

int Clamp(std::size_t length) { return static_cast<int>(length > kMaxChunk ? kMaxChunk : length); }

// A call that would block is no failure: `*error` is set only for a real one,
// as callers take any error number as the end of the stream.
long Failure(int* error) {
  const int last = ::WSAGetLastError();
  if (last == WSAEWOULDBLOCK) return kWouldBlock;
  *error = last;
  return -1;
}

}  // namespace

SocketHandle OpenTcpSocket(const IpAddress& address, int* error) {
  const SOCKET handle = ::socket(address.v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) {
    *error = ::WSAGetLastError();
    return kNoSocket;
  }
  const auto kept = static_cast<SocketHandle>(handle);
  if (Native(kept) != handle) {
    ::closesocket(handle);
    *error = WSAEMFILE;
    return kNoSocket;
  }
  u_long nonBlocking = 1;
  const BOOL on = TRUE;
  if (::ioctlsocket(handle, FIONBIO, &nonBlocking) != 0 ||
      ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0) {
    *error = ::WSAGetLastError();
    ::closesocket(handle);
    return kNoSocket;
  }
  return kept;
}

int StartConnect(SocketHandle socket, const IpAddress& address, std::uint16_t port) {
  sockaddr_storage target;
  const int length = FillSocketAddress(address, port, &target);
  if (::connect(Native(socket), reinterpret_cast<const sockaddr*>(&target), length) == 0) {
    return 0;
  }
  const int err = ::WSAGetLastError();
  return err == WSAEWOULDBLOCK ? 0 : err;
}

int WaitAnyConnected(const SocketHandle* sockets, int count, std::int64_t deadline_ms, int* error) {
  if (count <= 0 || count > FD_SETSIZE) {
    *error = WSAEINVAL;
    return -1;
  }
  // Windows reports a refused or otherwise failed connection in the
  // exception set only; watching it too ends such an attempt at once
  // instead of after the whole connect time-out.
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  for (int i = 0; i < count; ++i) {
    FD_SET(Native(sockets[i]), &writable);
    FD_SET(Native(sockets[i]), &failed);
  }
  timeval limit = TimeLeft(deadline_ms);
  const int result = ::select(0, nullptr, &writable, &failed, &limit);
  if (result <= 0) {
    *error = result == 0 ? WSAETIMEDOUT : ::WSAGetLastError();
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    const bool wasFailed = FD_ISSET(Native(sockets[i]), &failed) != 0;
    if (!wasFailed && FD_ISSET(Native(sockets[i]), &writable) == 0) continue;
    int pending = 0;
    if (PendingError(sockets[i], &pending) != 0) pending = ::WSAGetLastError();
    *error = pending != 0 ? pending : wasFailed ? WSAECONNREFUSED : 0;
    return i;
  }
  *error = WSAETIMEDOUT;
  return -1;
}

int WaitReadable(SocketHandle socket, std::int64_t deadline_ms) {
  return Wait(socket, false, deadline_ms);
}

int WaitWritable(SocketHandle socket, std::int64_t deadline_ms) {
  return Wait(socket, true, deadline_ms);
}

int TimedOutError() { return WSAETIMEDOUT; }

bool SocketIsQuiet(SocketHandle socket) { return Wait(socket, false, 0) == 0; }

long SendSome(SocketHandle socket, const char* bytes, std::size_t length, int* error) {
  const int sent = ::send(Native(socket), bytes, Clamp(length), 0);
  if (sent == SOCKET_ERROR) return Failure(error);
  return sent;
}

long ReceiveSome(SocketHandle socket, char* bytes, std::size_t length, int* error) {
  const int received = ::recv(Native(socket), bytes, Clamp(length), 0);
  if (received == SOCKET_ERROR) return Failure(error);
  return received;
}

bool ParseIpAddress(const char* text, IpAddress* address) {
  if (text == nullptr) return false;
  IpAddress parsed;
  if (::InetPtonA(AF_INET, text, parsed.bytes) == 1) {
    *address = parsed;
    return true;
  }
  if (::InetPtonA(AF_INET6, text, parsed.bytes) == 1) {
    parsed.v6 = true;
    *address = parsed;
    return true;
  }
  return false;
}

const char* FormatIpAddress(const IpAddress& address, char* buffer, std::size_t size) {
  if (size == 0) return buffer;
  IpAddress copy = address;
  if (::InetNtopA(address.v6 ? AF_INET6 : AF_INET, copy.bytes, buffer, size) == nullptr) {
    buffer[0] = '\0';
  }
  return buffer;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) ::closesocket(Native(socket));
}

}  // namespace zcv::platform
