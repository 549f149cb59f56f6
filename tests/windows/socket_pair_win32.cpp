// SocketPair for the Windows test build: a loopback TCP connection, whose
// test end is non-blocking so that ReadAvailable never waits.
#include <winsock2.h>

#include <stdexcept>

#include "tests/support/socket_pair.h"
#include "tests/windows/loopback_pair.h"

namespace zcv::test {

SocketPair::SocketPair() {
  if (!MakeLoopbackPair(&local_, &remote_)) throw std::runtime_error("socket pair failed");
  u_long nonBlocking = 1;
  ::ioctlsocket(static_cast<SOCKET>(remote_), FIONBIO, &nonBlocking);
}

SocketPair::~SocketPair() {
  if (local_ >= 0) ::closesocket(static_cast<SOCKET>(local_));
  CloseRemote();
}

int SocketPair::ReleaseLocal() {
  const int handle = local_;
  local_ = -1;
  return handle;
}

void SocketPair::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const int n =
        ::send(static_cast<SOCKET>(remote_), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n <= 0) throw std::runtime_error("socket pair write failed");
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void SocketPair::CloseRemote() {
  if (remote_ < 0) return;
  ::closesocket(static_cast<SOCKET>(remote_));
  remote_ = -1;
}

std::string SocketPair::ReadAvailable() {
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const int n = ::recv(static_cast<SOCKET>(remote_), chunk, sizeof chunk, 0);
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

}  // namespace zcv::test
