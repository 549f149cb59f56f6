// Socket reads, writes and closes for the simulator's connections.
#include "zcvsim/socket_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace

bool SocketStream::Wait(short events) const {
  pollfd pfd{fd_, events, 0};
  int rc;
  do {
    rc = poll(&pfd, 1, timeout_ms_);
  } while (rc < 0 && errno == EINTR);
  return rc > 0;
}

bool SocketStream::is_readable() const { return Wait(POLLIN); }

bool SocketStream::is_writable() const { return Wait(POLLOUT); }

ssize_t SocketStream::read(char* ptr, size_t size) {
  if (!is_readable()) return -1;
  ssize_t n;
  do {
    n = recv(fd_, ptr, size, 0);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t SocketStream::write(const char* ptr, size_t size) {
  if (!is_writable()) return -1;
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
