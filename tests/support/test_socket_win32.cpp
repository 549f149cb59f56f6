// The test servers' socket calls over Windows Sockets: select for waits, and
// loopback TCP connections where POSIX would use a pipe or socketpair().
#include <winsock2.h>

#include "tests/support/test_socket.h"

namespace zcv::test::net {
namespace {

constexpr int kBacklog = 128;
constexpr long kMicrosPerMilli = 1000;

SOCKET Native(int socket) { return static_cast<SOCKET>(socket); }

// A loopback socket bound to a port of the system's choice; *address gets it.
SOCKET BoundSocket(sockaddr_in* address) {
  const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) return INVALID_SOCKET;
  *address = sockaddr_in{};
  address->sin_family = AF_INET;
  address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof *address;
  if (::bind(handle, reinterpret_cast<sockaddr*>(address), sizeof *address) != 0 ||
      ::getsockname(handle, reinterpret_cast<sockaddr*>(address), &length) != 0) {
    ::closesocket(handle);
    return INVALID_SOCKET;
  }
  return handle;
}

// Windows has no socketpair(): a listener accepts the one connection made
// to it, then closes.
bool MakeLoopbackPair(int* first, int* second) {
  sockaddr_in address;
  const SOCKET listener = BoundSocket(&address);
  if (listener == INVALID_SOCKET) return false;
  SOCKET connecting = INVALID_SOCKET;
  SOCKET accepted = INVALID_SOCKET;
  if (::listen(listener, 1) == 0) {
    connecting = ::socket(AF_INET, SOCK_STREAM, 0);
    if (connecting != INVALID_SOCKET &&
        ::connect(connecting, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      accepted = ::accept(listener, nullptr, nullptr);
    }
  }
  ::closesocket(listener);
  if (accepted == INVALID_SOCKET) {
    if (connecting != INVALID_SOCKET) ::closesocket(connecting);
    return false;
  }
  *first = static_cast<int>(connecting);
  *second = static_cast<int>(accepted);
  return true;
}

void MakeNonBlocking(SOCKET handle) {
  u_long nonBlocking = 1;
  ::ioctlsocket(handle, FIONBIO, &nonBlocking);
}

}  // namespace

Wait WaitFor(int socket, Readiness readiness, int wake, Clock::time_point deadline) {
  fd_set read, write;
  FD_ZERO(&read);
  FD_ZERO(&write);
  FD_SET(Native(wake), &read);
  if (socket != kNoSocket && readiness == Readiness::kReadable) FD_SET(Native(socket), &read);
  if (socket != kNoSocket && readiness == Readiness::kWritable) FD_SET(Native(socket), &write);
  timeval limit{};
  timeval* limitPointer = nullptr;
  if (deadline != Clock::time_point::max()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const long millis = left > 0 ? static_cast<long>(left) : 0;
    limit.tv_sec = millis / 1000;
    limit.tv_usec = (millis % 1000) * kMicrosPerMilli;
    limitPointer = &limit;
  }
  const int result = ::select(0, &read, &write, nullptr, limitPointer);
  if (result < 0 || FD_ISSET(Native(wake), &read)) return Wait::kStopped;
  return result == 0 ? Wait::kTimedOut : Wait::kReady;
}

long SendSome(int socket, std::string_view bytes) {
  const int n = ::send(Native(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
  if (n < 0) return ::WSAGetLastError() == WSAEWOULDBLOCK ? kAgain : 0;
  return n;
}

long ReceiveSome(int socket, char* buffer, std::size_t size) {
  const int n = ::recv(Native(socket), buffer, static_cast<int>(size), 0);
  if (n < 0) return ::WSAGetLastError() == WSAEWOULDBLOCK ? kAgain : 0;
  return n;
}

void ShutDownSending(int socket) { ::shutdown(Native(socket), SD_SEND); }

void CloseSocket(int socket) { ::closesocket(Native(socket)); }

void ResetSocket(int socket) {
  const linger abort_linger{1, 0};
  ::setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort_linger),
               sizeof abort_linger);
  ::closesocket(Native(socket));
}

int BindOnLoopback(std::uint16_t* port) {
  sockaddr_in address;
  const SOCKET handle = BoundSocket(&address);
  if (handle == INVALID_SOCKET) return kNoSocket;
  *port = ntohs(address.sin_port);
  return static_cast<int>(handle);
}

int ListenOnLoopback(std::uint16_t* port) {
  const int socket = BindOnLoopback(port);
  if (socket != kNoSocket && ::listen(Native(socket), kBacklog) != 0) {
    ::closesocket(Native(socket));
    return kNoSocket;
  }
  return socket;
}

int Accept(int listener) {
  const SOCKET accepted = ::accept(Native(listener), nullptr, nullptr);
  if (accepted == INVALID_SOCKET) return kNoSocket;
  MakeNonBlocking(accepted);
  const BOOL on = TRUE;
  ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<int>(accepted);
}

bool MakeWakeUp(int* watch, int* signal) { return MakeLoopbackPair(watch, signal); }

void SignalWakeUp(int signal) {
  const char wake = 'x';
  ::send(Native(signal), &wake, 1, 0);
}

void CloseWakeUp(int watch, int signal) {
  ::closesocket(Native(watch));
  ::closesocket(Native(signal));
}

bool MakeSocketPair(int* local, int* remote) {
  if (!MakeLoopbackPair(local, remote)) return false;
  MakeNonBlocking(Native(*remote));
  return true;
}

}  // namespace zcv::test::net
