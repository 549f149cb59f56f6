// The test servers' socket calls over POSIX sockets: poll for waits,
// MSG_NOSIGNAL so a closed peer never raises SIGPIPE, EINTR retried, and
// every descriptor close-on-exec.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "tests/support/test_socket.h"

namespace zcv::test::net {
namespace {

constexpr int kBacklog = 128;

short Events(Readiness readiness) {
  switch (readiness) {
    case Readiness::kReadable:
      return POLLIN;
    case Readiness::kWritable:
      return POLLOUT;
    case Readiness::kNone:
      break;
  }
  return 0;
}

// A loopback socket bound to a port of the system's choice. Only a listener
// may share its address: a bound socket that never listens keeps its port
// from every other program.
std::atomic<bool> ipv6Loopback{false};

int BoundSocket(std::uint16_t* port, bool reuse_address) {
  const bool v6 = ipv6Loopback.load();
  const int socket = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return kNoSocket;
  const int on = 1;
  if (reuse_address) ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (v6) ::setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  sockaddr_storage address{};
  socklen_t length = 0;
  if (v6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    in6->sin6_addr = in6addr_loopback;
    length = sizeof *in6;
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
    in4->sin_family = AF_INET;
    in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof *in4;
  }
  if (::bind(socket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(socket);
    return kNoSocket;
  }
  *port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                   : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  return socket;
}

}  // namespace

void ListenOnIpv6Loopback(bool v6) { ipv6Loopback = v6; }

Wait WaitFor(int socket, Readiness readiness, int wake, Clock::time_point deadline) {
  const bool watch_socket = socket >= 0 && readiness != Readiness::kNone;
  for (;;) {
    int timeout = -1;
    if (deadline != Clock::time_point::max()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      timeout = left > 0 ? static_cast<int>(left) : 0;
    }
    pollfd entries[2] = {{wake, POLLIN, 0}, {socket, Events(readiness), 0}};
    const int result = ::poll(entries, watch_socket ? 2 : 1, timeout);
    if (result < 0 && errno == EINTR) continue;
    if (result < 0 || (entries[0].revents & POLLIN)) return Wait::kStopped;
    if (result == 0) return Wait::kTimedOut;
    return Wait::kReady;
  }
}

long SendSome(int socket, std::string_view bytes) {
  for (;;) {
    const ssize_t n = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? kAgain : 0;
    return static_cast<long>(n);
  }
}

long ReceiveSome(int socket, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::recv(socket, buffer, size, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? kAgain : 0;
    return static_cast<long>(n);
  }
}

void ShutDownSending(int socket) { ::shutdown(socket, SHUT_WR); }

void CloseSocket(int socket) { ::close(socket); }

void ResetSocket(int socket) {
  const linger abort_linger{1, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort_linger, sizeof abort_linger);
  ::close(socket);
}

int BindOnLoopback(std::uint16_t* port) { return BoundSocket(port, false); }

int ListenOnLoopback(std::uint16_t* port) {
  const int socket = BoundSocket(port, true);
  if (socket >= 0 && ::listen(socket, kBacklog) != 0) {
    ::close(socket);
    return kNoSocket;
  }
  return socket;
}

int Accept(int listener) {
  const int socket = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (socket < 0) return kNoSocket;
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return socket;
}

bool MakeWakeUp(int* watch, int* signal) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  *watch = ends[0];
  *signal = ends[1];
  return true;
}

void SignalWakeUp(int signal) {
  const char wake = 'x';
  while (::write(signal, &wake, 1) < 0 && errno == EINTR) {
  }
}

void CloseWakeUp(int watch, int signal) {
  ::close(watch);
  ::close(signal);
}

bool MakeSocketPair(int* local, int* remote) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  *local = ends[0];
  *remote = ends[1];
  return true;
}

}  // namespace zcv::test::net
