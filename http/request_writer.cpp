// Request line and header block formatting, and the one send operation of both.
#include "http/request_writer.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace zcv {
namespace {

constexpr const char* kMethodNames[] = {
    "GET",      "OPTIONS",   "HEAD",  "POST", "PUT",  "DELETE", "TRACE",  "CONNECT",
    "PROPFIND", "PROPPATCH", "MKCOL", "COPY", "MOVE", "LOCK",   "UNLOCK",
};

// Room for two ints and the point between them.
constexpr std::size_t kVersionTextBytes = 24;

void Append(HttpConnection* connection, std::string_view text) {
  HttpConnectionAppend(connection, text.data(), static_cast<int>(text.size()));
}

// "1.1" for 1.1; formatted by hand so that the host's locale cannot turn
// the point into a comma.
void AppendVersion(HttpConnection* connection, float version) {
  const int tenths = static_cast<int>(std::lround(version * 10.0f));
  char text[kVersionTextBytes];
  char* const last = text + sizeof text;
  const std::to_chars_result whole = std::to_chars(text, last - 1, tenths / 10);
  if (whole.ec != std::errc()) return;
  *whole.ptr = '.';
  const std::to_chars_result tenth = std::to_chars(whole.ptr + 1, last, tenths % 10);
  if (tenth.ec != std::errc()) return;
  HttpConnectionAppend(connection, text, static_cast<int>(tenth.ptr - text));
}

// Sends the buffered bytes as one operation, then starts a fresh buffer.
int SendBuffered(HttpConnection* connection) {
  int step = 1;
  while (step == 1) step = HttpConnectionSend(connection);
  if (step != 2) return -1;
  HttpConnectionResetBuffer(connection);
  return 2;
}

}  // namespace

HttpOutgoingRequest* HttpOutgoingRequestCreate() { return new HttpOutgoingRequest; }

void HttpOutgoingRequestDestroy(HttpOutgoingRequest* outgoing) { delete outgoing; }

const char* HttpMethodName(HttpMethod method) {
  return (method >= kHttpGet && method <= kHttpUnlock) ? kMethodNames[method] : kMethodNames[0];
}

int HttpAddDefaultHeaders(HttpOutgoingRequest* outgoing) {
  if (outgoing == nullptr) return -1;
  HttpHeaderSet(&outgoing->headers, "Host", outgoing->host);
  static const char* const kUserAgentName = HttpStandardHeaderName("User-Agent");
  if (HttpHeaderGetStandard(&outgoing->headers, kUserAgentName) == nullptr) {
    HttpHeaderSet(&outgoing->headers, "User-Agent", kUserAgent);
  }
  return 0;
}

int HttpWriteRequest(HttpOutgoingRequest* outgoing, HttpConnection* connection) {
  if (outgoing->path == nullptr) return -1;
  Append(connection, HttpMethodName(outgoing->method));
  Append(connection, " ");
  Append(connection, outgoing->path);
  Append(connection, " HTTP/");
  AppendVersion(connection, outgoing->version);
  Append(connection, "\r\n");
  // The line and the header block leave in one send, and so in one segment.
  const HttpHeaderList& headers = outgoing->headers;
  for (const HttpHeaderSlot& slot : headers.slots) {
    Append(connection, std::string_view(slot.name, slot.nameLength));
    Append(connection, ": ");
    Append(connection, std::string_view(slot.value, slot.valueLength));
    Append(connection, "\r\n");
  }
  Append(connection, "\r\n");
  return SendBuffered(connection);
}

}  // namespace zcv
