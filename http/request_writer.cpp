// Request line and header block formatting, and their two send operations.
#include "http/request_writer.h"

#include <cmath>
#include <string>

namespace zcv {
namespace {

constexpr const char* kMethodNames[] = {
    "GET",      "OPTIONS",   "HEAD",  "POST", "PUT",  "DELETE", "TRACE",  "CONNECT",
    "PROPFIND", "PROPPATCH", "MKCOL", "COPY", "MOVE", "LOCK",   "UNLOCK",
};

// "1.1" for 1.1; formatted by hand so that the host's locale cannot turn
// the point into a comma.
std::string VersionText(float version) {
  const int tenths = static_cast<int>(std::lround(version * 10.0f));
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// Sends the buffered bytes as one operation, then starts a fresh buffer.
int SendBuffered(HttpConnection* connection, bool moreFollows) {
  int step = 1;
  while (step == 1) step = HttpConnectionSend(connection, moreFollows);
  if (step != 2) return -1;
  HttpConnectionResetBuffer(connection);
  return 2;
}

void AppendText(HttpConnection* connection, const std::string& text) {
  HttpConnectionAppend(connection, text.data(), static_cast<int>(text.size()));
}

}  // namespace

HttpOutgoingRequest* HttpOutgoingRequestCreate() {
  auto* outgoing = new HttpOutgoingRequest();
  outgoing->headers = HttpHeaderListCreate();
  return outgoing;
}

void HttpOutgoingRequestDestroy(HttpOutgoingRequest* outgoing) {
  if (outgoing == nullptr) return;
  HttpHeaderListDestroy(outgoing->headers);
  delete outgoing;
}

const char* HttpMethodName(HttpMethod method) {
  return (method >= kHttpGet && method <= kHttpUnlock) ? kMethodNames[method] : kMethodNames[0];
}

int HttpAddDefaultHeaders(HttpOutgoingRequest* outgoing) {
  if (outgoing == nullptr) return -1;
  HttpHeaderSet(outgoing->headers, "Host", outgoing->host);
  if (HttpHeaderGet(outgoing->headers, "User-Agent") == nullptr) {
    HttpHeaderSet(outgoing->headers, "User-Agent", kUserAgent);
  }
  return 0;
}

int HttpWriteRequest(HttpOutgoingRequest* outgoing, HttpConnection* connection) {
  if (outgoing->path == nullptr) return -1;
  AppendText(connection, std::string(HttpMethodName(outgoing->method)) + " " + outgoing->path +
                             " HTTP/" + VersionText(outgoing->version) + "\r\n");
  // The line waits for the header block so that both leave in one segment.
  if (SendBuffered(connection, true) != 2) return -1;

  std::string block;
  const HttpHeaderList& headers = *outgoing->headers;
  for (std::size_t i = 0; i < kMaxHeaders; ++i) {
    if (headers.names[i].empty()) continue;
    block += headers.names[i];
    block += ": ";
    block += headers.values[i];
    block += "\r\n";
  }
  block += "\r\n";
  AppendText(connection, block);
  return SendBuffered(connection, false);
}

}  // namespace zcv
