// Body framing. Announced sizes are checked against kMaxBodyBytes before any
// buffer is sized from them.
#include "http/response_body.h"

#include <cstdint>
#include <cstring>

#include "http/header_list.h"
#include "http/limits.h"

namespace zcv {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int kLineEndLength = 2;
// "2147483647" has ten digits.
constexpr int kMaxContentLengthDigits = 10;
constexpr std::int64_t kMaxContentLength = 2147483647;
// Eight hexadecimal digits fill 32 bits.
constexpr int kMaxChunkSizeDigits = 8;

constexpr const char* kReasonBodyTooLarge = "Http response body too large";
constexpr const char* kReasonChunkLineTooLong = "Http response chunk size line too long";

int Fail(HttpConnection* connection, const char* reason) {
  connection->failureReason = reason;
  return -1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Receive steps until one gives 2; -1 when one fails or the peer closes
// before the target.
int ReceiveTarget(HttpConnection* connection, int target) {
  connection->remaining = target;
  connection->done = 0;
  int step = 1;
  while (step == 1) step = HttpConnectionReceive(connection);
  return (step == 2 && connection->lastCount > 0) ? 2 : -1;
}

// Reads and drops the chunk-size line; -1 when it is cut off, too long or
// has no hexadecimal digit.
int ReadChunkSizeLine(HttpConnection* connection, std::int64_t bodyLength) {
  int lineEnd;
  while ((lineEnd = HttpFindBytes(connection->buffer.get(), connection->used, kLineEnd,
                                  kLineEndLength)) < 0) {
    if (connection->used >= kMaxHeadBytes) return Fail(connection, kReasonChunkLineTooLong);
    const int step = HttpConnectionReceive(connection);
    if (step == -1 || (step == 2 && connection->lastCount == 0)) return -1;
  }
  const char* bytes = connection->buffer.get();
  std::int64_t size = 0;
  int digits = 0;
  for (int value; digits < lineEnd && (value = HexValue(bytes[digits])) >= 0; ++digits) {
    if (digits == kMaxChunkSizeDigits) return Fail(connection, kReasonBodyTooLarge);
    size = size * 16 + value;
  }
  if (digits == 0) {
    connection->chunkLength = -1;
    return -1;
  }
  if (size > kMaxBodyBytes - bodyLength) return Fail(connection, kReasonBodyTooLarge);
  connection->chunkLength = static_cast<int>(size);
  HttpConnectionConsume(connection, lineEnd + kLineEndLength);
  return 2;
}

// Reads the chunk whose data would follow `bodyLength` bytes already taken.
int ReadChunkAfter(HttpConnection* connection, std::int64_t bodyLength) {
  if (connection->chunkLength == 0 && ReadChunkSizeLine(connection, bodyLength) != 2) return -1;
  const int wanted = connection->chunkLength + kLineEndLength;
  if (connection->chunkLength != 0 && connection->used < wanted) {
    if (ReceiveTarget(connection, wanted - connection->used) != 2) return -1;
  }
  return (connection->used >= wanted || connection->chunkLength == 0) ? 2 : -1;
}

}  // namespace

bool IsDecimalNumber(const char* text) {
  if (text == nullptr || *text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

void HttpStoreBody(HttpResponse* response, HttpConnection* connection) {
  const char* bytes = connection->buffer.get();
  response->body.assign(bytes, bytes + connection->used);
  response->body.push_back('\0');
  response->bodyLength = connection->used;
  HttpConnectionResetBuffer(connection);
}

int HttpReadBodyByLength(HttpResponse* response, HttpConnection* connection) {
  if (response->contentLength == 0) return 2;
  const int missing = response->contentLength - connection->used;
  if (missing > 0 && ReceiveTarget(connection, missing) != 2) return -1;
  HttpStoreBody(response, connection);
  return 2;
}

int HttpReadChunk(HttpConnection* connection) { return ReadChunkAfter(connection, 0); }

int HttpReadChunkedBody(HttpResponse* response, HttpConnection* connection) {
  connection->chunkLength = 0;
  for (;;) {
    if (ReadChunkAfter(connection, response->bodyLength) != 2) return -1;
    const int length = connection->chunkLength;
    if (length > 0) {
      std::vector<char>& body = response->body;
      if (!body.empty()) body.pop_back();  // the zero byte goes behind the new data
      body.insert(body.end(), connection->buffer.get(), connection->buffer.get() + length);
      body.push_back('\0');
      response->bodyLength += length;
      HttpConnectionConsume(connection, length + kLineEndLength);
      connection->chunkLength = 0;
      continue;
    }
    // The last chunk: its line end is awaited, trailers are not read.
    if (connection->used < kLineEndLength) {
      connection->remaining = kLineEndLength - connection->used;
      connection->done = 0;
      int step = 1;
      while (step == 1) step = HttpConnectionReceive(connection);
      if (step == -1) return -1;
    }
    return 2;
  }
}

int HttpReadBodyUntilClose(HttpResponse* response, HttpConnection* connection) {
  for (;;) {
    const int step = HttpConnectionReceive(connection);
    if (step == -1) return -1;
    if (connection->used > kMaxBodyBytes) return Fail(connection, kReasonBodyTooLarge);
    if (step == 2 && connection->lastCount == 0) break;
  }
  HttpStoreBody(response, connection);
  return 2;
}

int HttpReadResponseBody(HttpResponse* response, HttpConnection* connection) {
  const char* contentLength = HttpHeaderGet(response->headers, "Content-Length");
  const char* transferEncoding = HttpHeaderGet(response->headers, "Transfer-Encoding");
  const char* connectionHeader = HttpHeaderGet(response->headers, "Connection");

  int result;
  if (contentLength != nullptr) {
    if (!IsDecimalNumber(contentLength)) {
      return Fail(connection, "Content length in http response was not a number");
    }
    if (std::strlen(contentLength) > kMaxContentLengthDigits) {
      return Fail(connection, kReasonBodyTooLarge);
    }
    std::int64_t announced = 0;
    for (const char* p = contentLength; *p != '\0'; ++p) announced = announced * 10 + (*p - '0');
    if (announced > kMaxContentLength || announced > kMaxBodyBytes) {
      return Fail(connection, kReasonBodyTooLarge);
    }
    response->contentLength = static_cast<int>(announced);
    result = HttpReadBodyByLength(response, connection);
  } else if (transferEncoding != nullptr) {
    if (!EqualsIgnoringCase(transferEncoding, "chunked")) {
      return Fail(connection, "Unknown encoding type in http response");
    }
    result = HttpReadChunkedBody(response, connection);
  } else {
    result = HttpReadBodyUntilClose(response, connection);
    if (result == 2) HttpConnectionClose(connection);
  }
  if (connectionHeader != nullptr && EqualsIgnoringCase(connectionHeader, "close")) {
    HttpConnectionClose(connection);
  }
  return result;
}

}  // namespace zcv
