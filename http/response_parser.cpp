// The response parser: status line checks by byte position ("HTTP/d.d ddd
// "), interim 100 heads skipped, the header scan, and body framing by
// "Content-Length", by the chunked coding or by the peer closing, and whether
// the connection may carry another request. Every size is checked against
// its limit before anything is sized from it, and each search resumes where
// the previous feed left it.
#include "http/response_parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "http/header_list.h"
#include "http/header_scan.h"
#include "http/limits.h"

namespace zcv {
namespace {

using Phase = HttpResponseParser::Phase;

constexpr char kHeadEnd[] = "\r\n\r\n";
constexpr int kHeadEndLength = 4;
constexpr char kLineEnd[] = "\r\n";
constexpr int kLineEndLength = 2;
// "HTTP/d.d ddd " and at least one more byte.
constexpr int kMinStatusLineBytes = 14;
constexpr int kStatusLineEndFrom = 13;
constexpr int kStatusContinue = 100;
// "2147483647" has ten digits.
constexpr int kMaxContentLengthDigits = 10;
// Eight hexadecimal digits fill 32 bits.
constexpr int kMaxChunkSizeDigits = 8;
// The most room a body framed by its length takes at first: below the size
// from which allocators map each block on its own, so that an announcement
// alone never costs a mapping.
constexpr std::size_t kAnnouncedRoom = 64 * 1024;

constexpr const char* kReasonShortRead = "Short read while reading http response headers";
constexpr const char* kReasonHeadTooLarge = "Http response headers too large";
constexpr const char* kReasonBodyTooLarge = "Http response body too large";
constexpr const char* kReasonChunkLineTooLong = "Http response chunk size line too long";

// What one phase did with the bytes it was given: go on with the next phase
// over the bytes left, or end the feed with a result.
struct Step {
  bool goOn;
  HttpParse result;
};
constexpr Step kGoOn{true, HttpParse::kNeedMore};
constexpr Step End(HttpParse result) { return Step{false, result}; }

Step Fail(HttpResponseParser* parser, const char* reason) {
  parser->failureReason = reason;
  return End(HttpParse::kFailed);
}

Step NeedMore(HttpResponseParser* parser, int wanted) {
  parser->wanted = wanted;
  return End(HttpParse::kNeedMore);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Searches for the pattern, resuming after the bytes searched before (less
// the pattern's length, which may straddle the old end); -1 when it is
// missing, and the bytes then count as searched.
int FindResuming(HttpResponseParser* parser, const char* bytes, int length, const char* pattern,
                 int patternLength) {
  int from = parser->searched - (patternLength - 1);
  if (from < 0) from = 0;
  const int at = HttpFindBytes(bytes + from, length - from, pattern, patternLength);
  if (at < 0) {
    parser->searched = length;
    return -1;
  }
  parser->searched = 0;
  return from + at;
}

bool IsListBlank(char c) { return c == ' ' || c == '\t'; }

// True when the comma-separated list `value` holds `option`, compared
// without regard to case or to the blanks around each element.
bool ListHoldsOption(const char* value, const char* option) {
  const std::size_t length = std::strlen(option);
  const char* p = value;
  while (*p != '\0') {
    while (*p == ',' || IsListBlank(*p)) ++p;
    const char* start = p;
    while (*p != '\0' && *p != ',') ++p;
    const char* end = p;
    while (end > start && IsListBlank(end[-1])) --end;
    if (static_cast<std::size_t>(end - start) == length &&
        EqualRunsIgnoringCase(start, option, length)) {
      return true;
    }
  }
  return false;
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

// A body not framed by its length starts with room for one receive, so that
// small chunks do not grow it a byte or two at a time.
void AppendBody(HttpResponse* response, const char* bytes, int length) {
  if (response->body.capacity() == 0) response->body.reserve(kIoUnit);
  response->body.insert(response->body.end(), bytes, bytes + length);
}

// A body framed by its length takes room as its bytes arrive: kAnnouncedRoom
// at first, then twice as much each time, as a vector would grow, but never
// past its announced length and the zero byte after it.
void AppendAnnounced(HttpResponse* response, const char* bytes, int length) {
  std::vector<char>& body = response->body;
  const std::size_t need = body.size() + static_cast<std::size_t>(length);
  if (need > body.capacity()) {
    const std::size_t announced = static_cast<std::size_t>(response->contentLength);
    const std::size_t grown = std::max(2 * body.capacity(), kAnnouncedRoom);
    body.reserve(std::max(need, grown >= announced ? announced + 1 : grown));
  }
  body.insert(body.end(), bytes, bytes + length);
}

// The body is complete: it is followed by one zero byte that its length
// does not count. A body never begun stays none (the chunked coding).
Step CompleteBody(HttpResponse* response, bool storeEmpty) {
  if (!response->body.empty() || storeEmpty) {
    response->bodyLength = static_cast<int>(response->body.size());
    response->body.push_back('\0');
  }
  return End(HttpParse::kComplete);
}

// The head, after any number of interim 100 heads; the final one is stored.
Step ReadHead(HttpResponseParser* parser, HttpResponse* response, const char* bytes, int length,
              bool closed, int* taken) {
  for (;;) {
    const int end = FindResuming(parser, bytes, length, kHeadEnd, kHeadEndLength);
    if (end < 0) {
      if (length >= kMaxHeadBytes) return Fail(parser, kReasonHeadTooLarge);
      if (closed) return Fail(parser, kReasonShortRead);
      return NeedMore(parser, 0);
    }
    if (end + kHeadEndLength > kMaxHeadBytes) return Fail(parser, kReasonHeadTooLarge);
    const char* refusal = CheckStatusLine(bytes, length);
    if (refusal != nullptr) return Fail(parser, refusal);
    const int status = (bytes[9] - '0') * 100 + (bytes[10] - '0') * 10 + (bytes[11] - '0');
    if (status == kStatusContinue) {
      // An interim answer: the final head may already be here behind it.
      response->statusCode = 0;
      bytes += end + kHeadEndLength;
      length -= end + kHeadEndLength;
      *taken += end + kHeadEndLength;
      continue;
    }
    response->statusCode = status;
    // HTTP/1.1 and later keep the connection unless told otherwise.
    parser->persistentByDefault = bytes[5] > '1' || (bytes[5] == '1' && bytes[7] >= '1');
    int lineEnd = kStatusLineEndFrom;
    while (bytes[lineEnd] != '\r') ++lineEnd;
    int first = lineEnd;
    while (first < end && (bytes[first] == '\r' || bytes[first] == '\n')) ++first;
    if (lineEnd != end && first < end) {
      refusal = HttpScanHeaderLines(&response->headers, bytes + first, end + 1 - first);
      if (refusal != nullptr) return Fail(parser, refusal);
    }
    *taken += end + kHeadEndLength;
    parser->phase = Phase::kFraming;
    return End(HttpParse::kHeadComplete);
  }
}

// Picks the framing from the headers. "Content-Length" wins over
// "Transfer-Encoding"; with neither the body runs until the peer closes.
Step ChooseFraming(HttpResponseParser* parser, HttpResponse* response) {
  static const char* const kContentLength = HttpStandardHeaderName("Content-Length");
  static const char* const kTransferEncoding = HttpStandardHeaderName("Transfer-Encoding");
  static const char* const kConnection = HttpStandardHeaderName("Connection");
  const HttpHeaderList* headers = &response->headers;
  const char* contentLength = HttpHeaderGetStandard(headers, kContentLength);
  const char* transferEncoding = HttpHeaderGetStandard(headers, kTransferEncoding);
  const char* connection = HttpHeaderGetStandard(headers, kConnection);
  if (contentLength != nullptr) {
    if (!IsDecimalNumber(contentLength)) {
      return Fail(parser, "Content length in http response was not a number");
    }
    if (std::strlen(contentLength) > kMaxContentLengthDigits) {
      return Fail(parser, kReasonBodyTooLarge);
    }
    std::int64_t announced = 0;
    for (const char* p = contentLength; *p != '\0'; ++p) announced = announced * 10 + (*p - '0');
    if (announced > kMaxBodyBytes) return Fail(parser, kReasonBodyTooLarge);
    response->contentLength = static_cast<int>(announced);
    parser->framing = HttpFraming::kLength;
    parser->phase = Phase::kLength;
  } else if (transferEncoding != nullptr) {
    if (!EqualsIgnoringCase(transferEncoding, "chunked")) {
      return Fail(parser, "Unknown encoding type in http response");
    }
    parser->framing = HttpFraming::kChunked;
    parser->phase = Phase::kChunkLine;
  } else {
    parser->framing = HttpFraming::kUntilClose;
    parser->phase = Phase::kUntilClose;
  }
  // The connection ends after this body when the server says "close"
  // among its options, when an HTTP/1.0 server does not ask to keep it,
  // and when the body had two framings: reading the next reply on that
  // connection would trust a server whose replies may not end where it
  // means them to.
  const bool close = connection != nullptr && ListHoldsOption(connection, "close");
  const bool keep = connection != nullptr && ListHoldsOption(connection, "keep-alive");
  parser->closeAfterBody = close || (!parser->persistentByDefault && !keep) ||
                           (contentLength != nullptr && transferEncoding != nullptr);
  return kGoOn;
}

// Everything received is the body, even beyond the announced length when
// more came with the head.
Step ReadByLength(HttpResponseParser* parser, HttpResponse* response, const char* bytes, int length,
                  bool closed, int* taken) {
  if (response->contentLength == 0) return End(HttpParse::kComplete);
  AppendAnnounced(response, bytes, length);
  *taken += length;
  const int have = static_cast<int>(response->body.size());
  if (have >= response->contentLength) return CompleteBody(response, true);
  if (closed) return End(HttpParse::kFailed);
  return NeedMore(parser, response->contentLength - have);
}

// A chunk-size line: hexadecimal digits, anything after them (extensions)
// ignored.
Step ReadChunkLine(HttpResponseParser* parser, HttpResponse* response, const char* bytes,
                   int length, bool closed, int* taken) {
  const int end = FindResuming(parser, bytes, length, kLineEnd, kLineEndLength);
  if (end < 0) {
    if (length >= kMaxHeadBytes) return Fail(parser, kReasonChunkLineTooLong);
    if (closed) return End(HttpParse::kFailed);
    return NeedMore(parser, 0);
  }
  std::int64_t size = 0;
  int digits = 0;
  for (int value; digits < end && (value = HexValue(bytes[digits])) >= 0; ++digits) {
    if (digits == kMaxChunkSizeDigits) return Fail(parser, kReasonBodyTooLarge);
    size = size * 16 + value;
  }
  if (digits == 0) return End(HttpParse::kFailed);
  if (size > kMaxBodyBytes - response->bodyLength) return Fail(parser, kReasonBodyTooLarge);
  *taken += end + kLineEndLength;
  parser->chunkLength = static_cast<int>(size);
  parser->chunkLeft = parser->chunkLength + kLineEndLength;
  parser->phase = size == 0 ? Phase::kLastChunkEnd : Phase::kChunkData;
  return kGoOn;
}

// The chunk's data goes to the body as it comes; the two bytes after it are
// not examined. The body's length counts whole chunks only.
Step ReadChunkData(HttpResponseParser* parser, HttpResponse* response, const char* bytes,
                   int length, bool closed, int* taken) {
  const int take = length < parser->chunkLeft ? length : parser->chunkLeft;
  const int dataLeft = parser->chunkLeft - kLineEndLength;
  if (dataLeft > 0) AppendBody(response, bytes, take < dataLeft ? take : dataLeft);
  parser->chunkLeft -= take;
  *taken += take;
  if (parser->chunkLeft == 0) {
    response->bodyLength += parser->chunkLength;
    parser->phase = Phase::kChunkLine;
    return kGoOn;
  }
  if (closed) return End(HttpParse::kFailed);
  return NeedMore(parser, parser->chunkLeft);
}

// After the last chunk two more bytes are awaited, or the peer's close;
// trailers are not read.
Step ReadLastChunkEnd(HttpResponseParser* parser, HttpResponse* response, int length, bool closed) {
  if (length >= kLineEndLength || closed) return CompleteBody(response, false);
  return NeedMore(parser, kLineEndLength - length);
}

Step ReadUntilClose(HttpResponseParser* parser, HttpResponse* response, const char* bytes,
                    int length, bool closed, int* taken) {
  AppendBody(response, bytes, length);
  *taken += length;
  if (response->body.size() > static_cast<std::size_t>(kMaxBodyBytes)) {
    return Fail(parser, kReasonBodyTooLarge);
  }
  if (closed) return CompleteBody(response, true);
  return NeedMore(parser, 0);
}

Step ReadPhase(HttpResponseParser* parser, HttpResponse* response, const char* bytes, int length,
               bool closed, int* taken) {
  switch (parser->phase) {
    case Phase::kHead:
      return ReadHead(parser, response, bytes, length, closed, taken);
    case Phase::kFraming:
      return ChooseFraming(parser, response);
    case Phase::kLength:
      return ReadByLength(parser, response, bytes, length, closed, taken);
    case Phase::kChunkLine:
      return ReadChunkLine(parser, response, bytes, length, closed, taken);
    case Phase::kChunkData:
      return ReadChunkData(parser, response, bytes, length, closed, taken);
    case Phase::kLastChunkEnd:
      return ReadLastChunkEnd(parser, response, length, closed);
    case Phase::kUntilClose:
      return ReadUntilClose(parser, response, bytes, length, closed, taken);
  }
  return End(HttpParse::kFailed);
}

}  // namespace

HttpParse HttpParseResponse(HttpResponseParser* parser, HttpResponse* response, const char* bytes,
                            int length, bool closed, int* taken) {
  *taken = 0;
  parser->wanted = 0;
  for (;;) {
    const Step step = ReadPhase(parser, response, bytes + *taken, length - *taken, closed, taken);
    if (!step.goOn) return step.result;
  }
}

int HttpFindBytes(const char* bytes, int length, const char* pattern, int patternLength) {
  if (patternLength <= 0 || length < patternLength) return -1;
  const char* last = bytes + (length - patternLength);
  for (const char* at = bytes; at <= last; ++at) {
    at = static_cast<const char*>(
        std::memchr(at, pattern[0], static_cast<std::size_t>(last - at) + 1));
    if (at == nullptr) return -1;
    // The patterns are a few bytes: compared in place, not by a call per
    // candidate.
    int same = 1;
    while (same < patternLength && at[same] == pattern[same]) ++same;
    if (same == patternLength) return static_cast<int>(at - bytes);
  }
  return -1;
}

bool IsDecimalNumber(const char* text) {
  if (text == nullptr || *text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

}  // namespace zcv
