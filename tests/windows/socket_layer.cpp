// Starts Windows Sockets for a test program, as the DLL's entry point does
// for the library; linked into every Windows test executable directly.
#include <winsock2.h>

namespace {

struct SocketLayer {
  SocketLayer() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(1, 1), &data);
  }
  ~SocketLayer() { ::WSACleanup(); }
};

const SocketLayer socketLayer;

}  // namespace
