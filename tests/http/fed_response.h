// A response record and a connection whose socket holds exact bytes, fed
// through a local socket pair, for the tests of the head and body readers.
#pragma once

#include <memory>
#include <string>

#include "http/connection.h"
#include "http/response.h"
#include "tests/support/socket_pair.h"

namespace zcv::test {

struct FedResponse {
  struct Deleter {
    void operator()(HttpResponse* response) const { HttpResponseDestroy(response); }
    void operator()(HttpConnection* connection) const { HttpConnectionDestroy(connection); }
  };

  SocketPair pair;  // the remote end stays open unless `close` was asked for
  std::unique_ptr<HttpResponse, Deleter> response{HttpResponseCreate()};
  std::unique_ptr<HttpConnection, Deleter> connection{HttpConnectionCreate()};

  // Feeds `bytes`, then end-of-file when `close`; the connection receives at
  // most `unit` bytes at a time and never waits, since everything is there.
  FedResponse(const std::string& bytes, int unit, bool close) {
    pair.Write(bytes);
    if (close) pair.CloseRemote();
    HttpConnectionAttach(connection.get(), pair.ReleaseLocal());
    connection->unit = unit;
    HttpConnectionStartPhase(connection.get(), 0);
    HttpConnectionResetBuffer(connection.get());
  }

  std::string Reason() const {
    return connection->failureReason == nullptr ? "" : connection->failureReason;
  }
};

}  // namespace zcv::test
