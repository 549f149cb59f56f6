// POSIX sockets behind platform/socket.h (name lookups live in
// resolver_posix.cpp, the racing connect in connector.cpp): poll-based waits up to a monotonic
// deadline, EINTR retried here so that callers see only real outcomes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/socket_address.h"

namespace zcv::platform {
namespace {

// poll() on one descriptor for `events` until `deadline_ms`, retried on
// EINTR with the time left. The poll result: positive ready, 0 timed out,
// negative failed.
int PollFor(SocketHandle socket, short events, std::int64_t deadline_ms, short* revents) {
  if (socket == kNoSocket) {
    errno = EBADF;
    return -1;
  }
  for (;;) {
    const std::int64_t left = deadline_ms - MonotonicMilliseconds();
    const int wait = left <= 0 ? 0 : left > INT_MAX ? INT_MAX : static_cast<int>(left);
    pollfd entry{socket, events, 0};
    const int result = ::poll(&entry, 1, wait);
    if (result < 0 && errno == EINTR) continue;
    // A wait capped at INT_MAX milliseconds goes on to the deadline.
    if (result == 0 && wait == INT_MAX) continue;
    *revents = entry.revents;
    return result;
  }
}

int Wait(SocketHandle socket, short events, std::int64_t deadline_ms) {
  short revents = 0;
  const int result = PollFor(socket, events, deadline_ms, &revents);
  if (result > 0) return (revents & POLLNVAL) ? -1 : 1;
  return result == 0 ? 0 : -1;
}

// The most connects WaitAnyConnected watches at once.
constexpr int kMaxPolled = 64;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// strerror_r has a GNU and an XSI signature; these overloads take either.
[[maybe_unused]] const char* Message(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* Message(const char* result, const char*) { return result; }

// The words of this library for the errors a connection commonly meets.
const char* OwnErrorText(int error) {
  switch (error) {
    case ECONNREFUSED:
      return "connection refused";
    case ECONNRESET:
      return "connection reset";
    case EPIPE:
      return "connection closed by the server";
    case ENETUNREACH:
      return "network unreachable";
    case EHOSTUNREACH:
      return "host unreachable";
    case ETIMEDOUT:
      return "timed out";
    case EADDRNOTAVAIL:
      return "no local address for it";
    case EAFNOSUPPORT:
      return "address family not supported here";
    default:
      return nullptr;
  }
}

}  // namespace

SocketHandle OpenTcpSocket(const IpAddress& address, int* error) {
  const int family = address.v6 ? AF_INET6 : AF_INET;
  const int handle = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (handle < 0) {
    *error = errno;
    return kNoSocket;
  }
  const int on = 1;
  if (::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) < 0) {
    *error = errno;
    ::close(handle);
    return kNoSocket;
  }
  return handle;
}

int StartConnect(SocketHandle socket, const IpAddress& address, std::uint16_t port) {
  sockaddr_storage target;
  const auto length = static_cast<socklen_t>(FillSocketAddress(address, port, &target));
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&target), length) == 0) return 0;
  const int err = errno;
  // An interrupted non-blocking connect goes on in the background, like one
  // that would block.
  return (err == EINPROGRESS || err == EINTR) ? 0 : err;
}

int WaitAnyConnected(const SocketHandle* sockets, int count, std::int64_t deadline_ms, int* error) {
  if (count <= 0 || count > kMaxPolled) {
    *error = EINVAL;
    return -1;
  }
  pollfd entries[kMaxPolled];
  for (;;) {
    for (int i = 0; i < count; ++i) entries[i] = pollfd{sockets[i], POLLOUT, 0};
    const std::int64_t left = deadline_ms - MonotonicMilliseconds();
    const int wait = left <= 0 ? 0 : left > INT_MAX ? INT_MAX : static_cast<int>(left);
    const int result = ::poll(entries, static_cast<nfds_t>(count), wait);
    if (result < 0 && errno == EINTR) continue;
    if (result == 0 && wait == INT_MAX) continue;
    if (result <= 0) {
      *error = result == 0 ? ETIMEDOUT : errno;
      return -1;
    }
    for (int i = 0; i < count; ++i) {
      const short revents = entries[i].revents;
      if (revents == 0) continue;
      // Writable without an error or hang-up condition: connected.
      if ((revents & POLLOUT) != 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)) == 0) {
        *error = 0;
        return i;
      }
      int pending = 0;
      socklen_t length = sizeof pending;
      if (::getsockopt(sockets[i], SOL_SOCKET, SO_ERROR, &pending, &length) < 0) pending = errno;
      *error = pending != 0 ? pending : ECONNREFUSED;
      return i;
    }
  }
}

int WaitReadable(SocketHandle socket, std::int64_t deadline_ms) {
  return Wait(socket, POLLIN, deadline_ms);
}

int WaitWritable(SocketHandle socket, std::int64_t deadline_ms) {
  return Wait(socket, POLLOUT, deadline_ms);
}

int TimedOutError() { return ETIMEDOUT; }

long SendSome(SocketHandle socket, const char* bytes, std::size_t length, int* error) {
  for (;;) {
    const ssize_t sent = ::send(socket, bytes, length, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno == EINTR) continue;
    if (WouldBlock(errno)) return kWouldBlock;
    *error = errno;
    return -1;
  }
}

long ReceiveSome(SocketHandle socket, char* bytes, std::size_t length, int* error) {
  for (;;) {
    const ssize_t received = ::recv(socket, bytes, length, 0);
    if (received >= 0) return static_cast<long>(received);
    if (errno == EINTR) continue;
    if (WouldBlock(errno)) return kWouldBlock;
    *error = errno;
    return -1;
  }
}

bool SocketIsQuiet(SocketHandle socket) {
  // A peek that may not wait is one system call, cheaper than a poll and
  // its clock read; it returns 0 once the peer closed.
  char byte = 0;
  return ::recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && WouldBlock(errno);
}

void CloseSocket(SocketHandle socket) {
  // Retrying close() after EINTR could close a descriptor another thread has
  // just been given; Linux releases it on the first call in any case.
  if (socket != kNoSocket) ::close(socket);
}

bool ParseIpAddress(const char* text, IpAddress* address) {
  if (text == nullptr) return false;
  IpAddress parsed;
  if (::inet_pton(AF_INET, text, parsed.bytes) == 1) {
    *address = parsed;
    return true;
  }
  if (::inet_pton(AF_INET6, text, parsed.bytes) == 1) {
    parsed.v6 = true;
    *address = parsed;
    return true;
  }
  return false;
}

const char* FormatIpAddress(const IpAddress& address, char* buffer, std::size_t size) {
  if (size == 0) return buffer;
  if (::inet_ntop(address.v6 ? AF_INET6 : AF_INET, address.bytes, buffer,
                  static_cast<socklen_t>(size)) == nullptr) {
    buffer[0] = '\0';
  }
  return buffer;
}

const char* ErrorNumberText(int error, char* buffer, std::size_t size) {
  if (size == 0) return buffer;
  buffer[0] = '\0';
  if (const char* own = OwnErrorText(error)) {
    std::snprintf(buffer, size, "%s", own);
    return buffer;
  }
  const char* text = Message(strerror_r(error, buffer, size), buffer);
  if (text != nullptr && text != buffer) {
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
  }
  return buffer;
}

}  // namespace zcv::platform
