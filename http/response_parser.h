// HttpResponseParser: the response as a function of the bytes received so
// far. It does no I/O and never waits: the connection receives, feeds the
// bytes in, and waits when the parser asks for more.
#pragma once

#include "http/response.h"

namespace zcv {

enum class HttpParse {
  kNeedMore,      // feed again once more bytes have come or the peer closed
  kHeadComplete,  // status and headers are stored; further feeds read the body
  kComplete,      // the body is stored, followed by one zero byte
  kFailed,        // `failureReason` says why, or is nullptr for a cut body
};

// How the body's end is known; kNone until the head has been looked at.
enum class HttpFraming { kNone, kLength, kChunked, kUntilClose };

struct HttpResponseParser {
  enum class Phase { kHead, kFraming, kLength, kChunkLine, kChunkData, kLastChunkEnd, kUntilClose };

  Phase phase = Phase::kHead;
  HttpFraming framing = HttpFraming::kNone;
  bool persistentByDefault = false;  // the final head's version is HTTP/1.1 or later
  bool closeAfterBody = false;       // the connection is to end after this response
  int searched = 0;                  // bytes at the front already searched for a line end
  int wanted = 0;                    // after kNeedMore: bytes still due, or 0 when any count helps
  int chunkLength = 0;               // size of the chunk being read
  int chunkLeft = 0;                 // of its data and the two bytes after it, those not yet taken
  const char* failureReason = nullptr;
};

// Feeds the `length` received bytes that the parser has not taken yet;
// `closed` says the peer has ended the stream. Stores what it reads in
// `response` and sets `*taken` to the count of bytes at the front that it
// is done with, which the caller drops before the next feed.
HttpParse HttpParseResponse(HttpResponseParser* parser, HttpResponse* response, const char* bytes,
                            int length, bool closed, int* taken);

// Position of the first occurrence of the pattern, or -1.
int HttpFindBytes(const char* bytes, int length, const char* pattern, int patternLength);

// True for a non-empty text of decimal digits only.
bool IsDecimalNumber(const char* text);

}  // namespace zcv
