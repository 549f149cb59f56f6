// A connection over a socket the test made (one end of a SocketPair): made
// non-blocking and read and written through the plain stream, as an opened
// connection is.
#pragma once

#include <fcntl.h>

#include "http/connection.h"
#include "tests/support/socket_pair.h"

namespace zcv::test {

inline void Attach(HttpConnection* connection, int socket, int phaseSeconds) {
  ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL, 0) | O_NONBLOCK);
  connection->socket = socket;
  connection->transport = platform::MakePlainTransport(socket);
  HttpConnectionResetBuffer(connection);
  HttpConnectionStartPhase(connection, phaseSeconds);
}

}  // namespace zcv::test
