// The GET request's bytes, and their one send operation.
#include "http/request_writer.h"

#include <string_view>

namespace zcv {
namespace {

void Append(HttpConnection* connection, std::string_view text) {
  HttpConnectionAppend(connection, text.data(), static_cast<int>(text.size()));
}

}  // namespace

platform::NetStatus HttpWriteGet(HttpConnection* connection, const char* host, const char* path,
                                 bool close) {
  // The line and the header block leave in one send, and so in one segment.
  Append(connection, "GET ");
  Append(connection, path);
  Append(connection, close ? " HTTP/1.1\r\nConnection: close\r\nHost: " : " HTTP/1.1\r\nHost: ");
  Append(connection, host);
  Append(connection, "\r\nUser-Agent: ");
  Append(connection, kUserAgent);
  Append(connection, "\r\n\r\n");
  return HttpConnectionSend(connection);
}

}  // namespace zcv
