// Fuzz target: a whole response (head, then body by whatever framing the head
// announces) read from a local socket, as the request reads it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/connection.h"
#include "http/response.h"
#include "http/response_body.h"
#include "http/response_head.h"
#include "tests/support/socket_pair.h"

namespace {
// What a local socket pair takes without blocking the writer.
constexpr std::size_t kMaxInput = 32 * 1024;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return 0;
  zcv::test::SocketPair pair;
  pair.Write(std::string_view(reinterpret_cast<const char*>(data), size));
  pair.CloseRemote();
  zcv::HttpResponse* response = zcv::HttpResponseCreate();
  zcv::HttpConnection* connection = zcv::HttpConnectionCreate();
  connection->socket = pair.ReleaseLocal();
  connection->receiveTimeout = 0;  // everything is already there
  if (zcv::HttpReadResponseHead(response, connection) == 2) {
    zcv::HttpReadResponseBody(response, connection);
  }
  zcv::HttpConnectionDestroy(connection);
  zcv::HttpResponseDestroy(response);
  return 0;
}
