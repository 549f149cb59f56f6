// Status line checks by byte position ("HTTP/d.d ddd "), the 100 skip, and
// the bound on the head's size.
#include "http/response_head.h"

#include "http/header_scan.h"
#include "http/limits.h"

namespace zcv {
namespace {

constexpr char kHeadEnd[] = "\r\n\r\n";
constexpr int kHeadEndLength = 4;
// "HTTP/d.d ddd " and at least one more byte.
constexpr int kMinStatusLineBytes = 14;
constexpr int kStatusContinue = 100;

constexpr const char* kReasonReadFailed = "Failed to read http response line";
constexpr const char* kReasonShortRead = "Short read while reading http response headers";
constexpr const char* kReasonHeadTooLarge = "Http response headers too large";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Fail(HttpConnection* connection, const char* reason) {
  connection->failureReason = reason;
  return -1;
}

// Receives until the buffer holds a complete head; the position of its
// closing "\r\n\r\n", or -1 with the reason set. `receiveFirst` makes one
// receive step before the buffered bytes are searched.
int BufferHead(HttpConnection* connection, bool receiveFirst) {
  int step = 0;
  if (receiveFirst) {
    step = HttpConnectionReceive(connection);
    if (step == -1) return Fail(connection, kReasonReadFailed);
  }
  for (;;) {
    const int end =
        HttpFindBytes(connection->buffer.get(), connection->used, kHeadEnd, kHeadEndLength);
    if (end >= 0) {
      return end + kHeadEndLength > kMaxHeadBytes ? Fail(connection, kReasonHeadTooLarge) : end;
    }
    if (connection->used >= kMaxHeadBytes) return Fail(connection, kReasonHeadTooLarge);
    if (step == 2 && connection->lastCount == 0) return Fail(connection, kReasonShortRead);
    step = HttpConnectionReceive(connection);
    if (step == -1) return Fail(connection, kReasonReadFailed);
  }
}

// The reason the status line at the start of `bytes` is refused, or nullptr.
const char* CheckStatusLine(const char* bytes, int length) {
  if (length < kMinStatusLineBytes) return "The http response line was too short.";
  if (bytes[0] != 'H' || bytes[1] != 'T' || bytes[2] != 'T' || bytes[3] != 'P') {
    return "The http response line did not begin with \"HTTP\"";
  }
  // Byte 4 (the "/") is not examined; of the version only the kinds count.
  const bool ok = IsDigit(bytes[5]) && bytes[6] == '.' && IsDigit(bytes[7]) && bytes[8] == ' ' &&
                  IsDigit(bytes[9]) && IsDigit(bytes[10]) && IsDigit(bytes[11]) && bytes[12] == ' ';
  return ok ? nullptr : "Error parsing http response line";
}

}  // namespace

int HttpReadResponseHead(HttpResponse* response, HttpConnection* connection) {
  int headEnd = BufferHead(connection, true);
  for (;;) {
    if (headEnd < 0) return -1;
    const char* bytes = connection->buffer.get();
    const char* refusal = CheckStatusLine(bytes, connection->used);
    if (refusal != nullptr) return Fail(connection, refusal);
    response->statusCode = (bytes[9] - '0') * 100 + (bytes[10] - '0') * 10 + (bytes[11] - '0');
    if (response->statusCode != kStatusContinue) break;
    // An interim answer: the final head may already be buffered behind it,
    // so the buffer is searched before anything more is received.
    HttpConnectionConsume(connection, headEnd + kHeadEndLength);
    response->statusCode = 0;
    headEnd = BufferHead(connection, false);
  }

  const char* bytes = connection->buffer.get();
  int lineEnd = 13;
  while (bytes[lineEnd] != '\r') ++lineEnd;
  int first = lineEnd;
  while (first < headEnd && (bytes[first] == '\r' || bytes[first] == '\n')) ++first;
  if (lineEnd != headEnd && first < headEnd) {
    const char* refusal =
        HttpScanHeaderLines(response->headers, bytes + first, headEnd + 1 - first);
    if (refusal != nullptr) return Fail(connection, refusal);
  }
  HttpConnectionConsume(connection, headEnd + kHeadEndLength);
  return 2;
}

}  // namespace zcv
