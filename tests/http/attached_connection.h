// A connection over a socket the test made (one end of a SocketPair): made
// non-blocking and read and written through the plain stream, as an opened
// connection is.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <fcntl.h>
#endif

#include "http/connection.h"
#include "tests/support/socket_pair.h"

namespace zcv::test {

inline void Attach(HttpConnection* connection, int socket, int phaseSeconds) {
#ifdef _WIN32
  u_long nonBlocking = 1;
  ::ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &nonBlocking);
#else
  ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL, 0) | O_NONBLOCK);
#endif
  connection->socket = socket;
  connection->transport = platform::MakePlainTransport(socket);
  HttpConnectionResetBuffer(connection);
  HttpConnectionStartPhase(connection, phaseSeconds);
}

}  // namespace zcv::test
