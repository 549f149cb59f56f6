// Blocking sockets with a receive time-out: a worker blocks in accept until
// a client comes or the destructor shuts the listener down.
#include "bench/bench_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <utility>

namespace zcv::bench {
namespace {

constexpr int kBacklog = 128;
constexpr std::size_t kMaxHead = 8 * 1024;
// Bounds the wait for a request head that never completes.
constexpr long kHeadWaitSeconds = 1;

bool EndsHead(const char* bytes, std::size_t size) {
  return size >= 4 && std::memcmp(bytes + size - 4, "\r\n\r\n", 4) == 0;
}

}  // namespace

const char kAuthReplyBody[] =
    "<?xml version=\"1.0\"?><Reply><Result>9999</Result><ExpireTime>1704067200</ExpireTime>"
    "</Reply>";

BenchServer::BenchServer(std::string reply, int workers) : reply_(std::move(reply)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, kBacklog) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener_ >= 0) ::close(listener_);
    throw std::runtime_error("BenchServer: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  for (int i = 0; i < workers; ++i) workers_.emplace_back(&BenchServer::Serve, this);
}

BenchServer::~BenchServer() {
  stopping_ = true;
  // Wakes every worker blocked in accept.
  ::shutdown(listener_, SHUT_RDWR);
  for (std::thread& worker : workers_) worker.join();
  ::close(listener_);
}

void BenchServer::Serve() {
  while (!stopping_) {
    const int socket = ::accept(listener_, nullptr, nullptr);
    if (socket < 0) continue;  // shut down (the loop ends) or a connection lost early
    Answer(socket);
    ::close(socket);
  }
}

void BenchServer::Answer(int socket) const {
  const timeval wait{kHeadWaitSeconds, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  char head[kMaxHead];
  std::size_t size = 0;
  while (!EndsHead(head, size) && size < sizeof head) {
    const ssize_t n = ::recv(socket, head + size, sizeof head - size, 0);
    if (n <= 0) return;
    size += static_cast<std::size_t>(n);
  }
  std::size_t sent = 0;
  while (sent < reply_.size()) {
    const ssize_t n = ::send(socket, reply_.data() + sent, reply_.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace zcv::bench
