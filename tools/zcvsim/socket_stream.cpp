// Socket reads, writes and closes for the simulator's connections.
#include "zcvsim/socket_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace zcv::sim {
namespace {

void AddressOf(const sockaddr_storage& addr, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (addr.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&addr);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    port = ntohs(in->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&addr);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    port = ntohs(in6->sin6_port);
  }
  ip = text;
}

// A request line longer than this is passed on untouched.
constexpr std::size_t kMaxRequestLine = 8192;

}  // namespace

std::string EscapeTargetBlanks(const std::string& line) {
  std::size_t first = line.find(' ');
  std::size_t last = line.rfind(' ');
  if (first == std::string::npos || first == last) return line;
  std::string out = line.substr(0, first + 1);
  for (std::size_t i = first + 1; i < last; ++i) {
    if (line[i] == ' ') {
      out += "%20";
    } else {
      out += line[i];
    }
  }
  return out + line.substr(last);
}

void SocketStream::ReadRequestLine() {
  line_read_ = true;
  char buffer[1024];
  while (pending_.find('\n') == std::string::npos && pending_.size() < kMaxRequestLine) {
    if (!Readable()) break;
    const ssize_t n = Receive(buffer, sizeof buffer);
    if (n <= 0) break;
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
  std::size_t end = pending_.find('\n');
  if (end != std::string::npos) {
    pending_ = EscapeTargetBlanks(pending_.substr(0, end)) + pending_.substr(end);
  }
}

bool SocketStream::Wait(short events) const {
  pollfd pfd{fd_, events, 0};
  int rc;
  do {
    rc = poll(&pfd, 1, timeout_ms_);
  } while (rc < 0 && errno == EINTR);
  return rc > 0;
}

bool SocketStream::Readable() const {
  return (ssl_ != nullptr && SSL_pending(ssl_) > 0) || Wait(POLLIN);
}

ssize_t SocketStream::Receive(char* ptr, size_t size) {
  if (ssl_ != nullptr) {
    const int n = SSL_read(ssl_, ptr, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
    return n > 0 ? n : (SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
  }
  ssize_t n;
  do {
    n = recv(fd_, ptr, size, 0);
  } while (n < 0 && errno == EINTR);
  return n;
}

bool SocketStream::is_readable() const { return !pending_.empty() || Readable(); }

bool SocketStream::is_writable() const { return Wait(POLLOUT); }

ssize_t SocketStream::read(char* ptr, size_t size) {
  if (!line_read_) ReadRequestLine();
  if (!pending_.empty()) {
    std::size_t n = std::min(size, pending_.size());
    pending_.copy(ptr, n);
    pending_.erase(0, n);
    return static_cast<ssize_t>(n);
  }
  if (!is_readable()) return -1;
  return Receive(ptr, size);
}

ssize_t SocketStream::write(const char* ptr, size_t size) {
  if (!is_writable()) return -1;
  if (ssl_ != nullptr) {
    const int n = SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
    return n > 0 ? n : -1;
  }
  ssize_t n;
  do {
    n = send(fd_, ptr, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n;
}

void SocketStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressOf(addr, ip, port);
}

void SocketStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressOf(addr, ip, port);
}

void CloseSocket(int fd) {
  shutdown(fd, SHUT_RDWR);
  close(fd);
}

void ResetSocket(int fd) {
  linger lg{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  close(fd);
}

}  // namespace zcv::sim
