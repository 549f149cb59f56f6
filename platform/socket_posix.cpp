// POSIX sockets behind platform/socket.h (name lookups live in
// resolver_posix.cpp): poll-based waits up to a monotonic deadline, EINTR
// retried here so that callers see only real outcomes.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/clock.h"
#include "platform/socket.h"

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

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// strerror_r has a GNU and an XSI signature; these overloads take either.
[[maybe_unused]] const char* Message(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* Message(const char* result, const char*) { return result; }

}  // namespace

SocketHandle OpenTcpSocket(int* error) {
  const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (handle < 0) *error = errno;
  return handle < 0 ? kNoSocket : handle;
}

int MakeNonBlocking(SocketHandle socket) {
  const int flags = ::fcntl(socket, F_GETFL, 0);
  if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) return errno;
  return 0;
}

// The socket is non-blocking from its creation.
int PrepareTcpSocket(SocketHandle socket) {
  const int on = 1;
  if (::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) < 0) return errno;
  return 0;
}

int StartConnect(SocketHandle socket, const Ipv4Address& address) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(address.port);
  std::memcpy(&target.sin_addr.s_addr, address.bytes, sizeof address.bytes);
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) return 0;
  const int err = errno;
  // An interrupted non-blocking connect goes on in the background, like one
  // that would block.
  return (err == EINPROGRESS || err == EINTR) ? 0 : err;
}

int WaitConnected(SocketHandle socket, std::int64_t deadline_ms, int* error) {
  short revents = 0;
  const int result = PollFor(socket, POLLIN | POLLOUT, deadline_ms, &revents);
  if (result <= 0) {
    *error = result == 0 ? ETIMEDOUT : errno;
    return -1;
  }
  // Writable without an error or hang-up condition: connected, and no
  // pending error to fetch.
  if ((revents & POLLOUT) != 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)) == 0) return 1;
  int pending = 0;
  socklen_t length = sizeof pending;
  if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &length) < 0) {
    *error = errno;
    return -1;
  }
  if (pending != 0) {
    *error = pending;
    return -1;
  }
  return 1;
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

void CloseSocket(SocketHandle socket) {
  // Retrying close() after EINTR could close a descriptor another thread has
  // just been given; Linux releases it on the first call in any case.
  if (socket != kNoSocket) ::close(socket);
}

const char* ErrorNumberText(int error, char* buffer, std::size_t size) {
  if (size == 0) return buffer;
  buffer[0] = '\0';
  const char* text = Message(strerror_r(error, buffer, size), buffer);
  if (text != nullptr && text != buffer) {
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
  }
  return buffer;
}

}  // namespace zcv::platform
