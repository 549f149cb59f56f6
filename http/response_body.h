// Reading the response body, framed by "Content-Length", by the chunked
// transfer coding, or by the peer closing the connection.
#pragma once

#include "http/connection.h"
#include "http/response.h"

namespace zcv {

// Picks the framing from the headers and reads the body into `response`;
// closes the socket when the body ran until close or the response asked
// for "close". 2 complete; -1 failed (a refused header or size sets the
// connection's `failureReason`).
int HttpReadResponseBody(HttpResponse* response, HttpConnection* connection);

// The framings; each gives 2 or -1.
int HttpReadBodyByLength(HttpResponse* response, HttpConnection* connection);
int HttpReadChunkedBody(HttpResponse* response, HttpConnection* connection);
int HttpReadBodyUntilClose(HttpResponse* response, HttpConnection* connection);

// Buffers the size line, data and two trailing bytes of the next chunk,
// leaving its size in `chunkLength` (0 for the last chunk). 2 or -1.
int HttpReadChunk(HttpConnection* connection);

// Moves the buffered bytes into `response` as its body, zero-terminated.
void HttpStoreBody(HttpResponse* response, HttpConnection* connection);

// True for a non-empty text of decimal digits only.
bool IsDecimalNumber(const char* text);

}  // namespace zcv
