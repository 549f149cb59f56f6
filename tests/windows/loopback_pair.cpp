// A loopback listener accepts the one connection made to it, then closes.
#include "tests/windows/loopback_pair.h"

#include <winsock2.h>

namespace zcv::test {

bool MakeLoopbackPair(int* first, int* second) {
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  SOCKET connecting = INVALID_SOCKET;
  SOCKET accepted = INVALID_SOCKET;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      ::listen(listener, 1) == 0) {
    connecting = ::socket(AF_INET, SOCK_STREAM, 0);
    if (connecting != INVALID_SOCKET &&
        ::connect(connecting, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      accepted = ::accept(listener, nullptr, nullptr);
    }
  }
  ::closesocket(listener);
  if (accepted == INVALID_SOCKET) {
    if (connecting != INVALID_SOCKET) ::closesocket(connecting);
    return false;
  }
  *first = static_cast<int>(connecting);
  *second = static_cast<int>(accepted);
  return true;
}

}  // namespace zcv::test
