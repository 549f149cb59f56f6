// Local socket pair for feeding readers exact bytes.
#include "tests/support/socket_pair.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace zcv::test {

SocketPair::SocketPair() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    throw std::runtime_error("socketpair failed");
  }
  local_ = ends[0];
  remote_ = ends[1];
}

SocketPair::~SocketPair() {
  if (local_ >= 0) ::close(local_);
  CloseRemote();
}

int SocketPair::ReleaseLocal() {
  const int handle = local_;
  local_ = -1;
  return handle;
}

void SocketPair::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(remote_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("socket pair write failed");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void SocketPair::CloseRemote() {
  if (remote_ < 0) return;
  ::close(remote_);
  remote_ = -1;
}

std::string SocketPair::ReadAvailable() {
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::recv(remote_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace zcv::test
