// Windows Sockets behind platform/socket.h: ioctlsocket, and select with
// the time left until a deadline (name lookups are in resolver_win32.cpp).
// The socket layer is started once when the DLL is loaded.
#include <winsock2.h>

#include <climits>
#include <cstring>
#include <initializer_list>

#include "platform/clock.h"
#include "platform/socket.h"

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

SocketHandle OpenTcpSocket(int* error) {
  const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, 0);
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
  return kept;
}

int MakeNonBlocking(SocketHandle socket) {
  u_long nonBlocking = 1;
  return ::ioctlsocket(Native(socket), FIONBIO, &nonBlocking) != 0 ? ::WSAGetLastError() : 0;
}

int PrepareTcpSocket(SocketHandle socket) {
  const int error = MakeNonBlocking(socket);
  if (error != 0) return error;
  const BOOL on = TRUE;
  if (::setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0) {
    return ::WSAGetLastError();
  }
  return 0;
}

int StartConnect(SocketHandle socket, const Ipv4Address& address) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(address.port);
  std::memcpy(&target.sin_addr.s_addr, address.bytes, sizeof address.bytes);
  if (::connect(Native(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
    return 0;
  }
  const int err = ::WSAGetLastError();
  return err == WSAEWOULDBLOCK ? 0 : err;
}

int WaitConnected(SocketHandle socket, std::int64_t deadline_ms, int* error) {
  // Windows reports a refused or otherwise failed connection in the
  // exception set only; watching it too ends such an attempt at once
  // instead of after the whole connect time-out.
  fd_set readable, writable, failed;
  const int result = SelectOne(socket, &readable, &writable, &failed, deadline_ms);
  if (result <= 0) {
    *error = result == 0 ? WSAETIMEDOUT : ::WSAGetLastError();
    return -1;
  }
  int pending = 0;
  if (PendingError(socket, &pending) != 0) {
    *error = ::WSAGetLastError();
    return -1;
  }
  if (FD_ISSET(Native(socket), &failed)) {
    *error = pending != 0 ? pending : WSAECONNREFUSED;
    return -1;
  }
  if (pending != 0) {
    *error = pending;
    return -1;
  }
  return 1;
}

int WaitReadable(SocketHandle socket, std::int64_t deadline_ms) {
  return Wait(socket, false, deadline_ms);
}

int WaitWritable(SocketHandle socket, std::int64_t deadline_ms) {
  return Wait(socket, true, deadline_ms);
}

int TimedOutError() { return WSAETIMEDOUT; }

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

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) ::closesocket(Native(socket));
}

}  // namespace zcv::platform
