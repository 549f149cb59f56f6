// Local socket pair for feeding readers exact bytes: a Unix socket pair on
// Linux, a loopback TCP connection in the Windows test build.
#include "tests/support/socket_pair.h"

#include <stdexcept>

#include "tests/support/test_socket.h"

namespace zcv::test {

SocketPair::SocketPair() {
  if (!net::MakeSocketPair(&local_, &remote_)) throw std::runtime_error("socketpair failed");
}

SocketPair::~SocketPair() {
  if (local_ >= 0) net::CloseSocket(local_);
  CloseRemote();
}

int SocketPair::ReleaseLocal() {
  const int handle = local_;
  local_ = -1;
  return handle;
}

void SocketPair::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const long n = net::SendSome(remote_, bytes);
    if (n <= 0) throw std::runtime_error("socket pair write failed");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void SocketPair::CloseRemote() {
  if (remote_ < 0) return;
  net::CloseSocket(remote_);
  remote_ = -1;
}

std::string SocketPair::ReadAvailable() {
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const long n = net::ReceiveSome(remote_, chunk, sizeof chunk);
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace zcv::test
