// Plain POSIX calls, one receive buffer on the stack.
#include "bench/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace zcv::bench {
namespace {

constexpr std::size_t kReceiveBytes = 4096;
// A server that stops answering ends the call instead of hanging it.
constexpr long kReceiveWaitSeconds = 1;
// The TLS clients' bound: long enough that a loaded machine's stalls do
// not end calls that are merely slow.
constexpr long kTlsWaitSeconds = 5;

}  // namespace

std::string HttpReplyOf(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

const char kAuthRequest[] =
    "GET /TokenAuth.asp?iCardNo=1&iDynpasswd=2 HTTP/1.1\r\n"
    "Connection: close\r\n"
    "Host: 127.0.0.1\r\n"
    "User-Agent: zephyrcoilvault/1.0\r\n"
    "\r\n";

int ConnectLoopback(std::uint16_t port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return -1;
  const timeval wait{kTlsWaitSeconds, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(socket);
    return -1;
  }
  return socket;
}

bool RawCall(std::uint16_t port, const std::string& request) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return false;
  const timeval wait{kReceiveWaitSeconds, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool found = false;
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::send(socket, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char reply[kReceiveBytes];
    std::size_t size = 0;
    ssize_t n = 0;
    while (size < sizeof reply && (n = ::recv(socket, reply + size, sizeof reply - size, 0)) > 0) {
      size += static_cast<std::size_t>(n);
    }
    found = n == 0 && std::string_view(reply, size).find("<Result>") != std::string_view::npos;
  }
  ::close(socket);
  return found;
}

}  // namespace zcv::bench
