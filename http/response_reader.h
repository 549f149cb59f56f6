// Reading the response of one exchange: the connection receives and waits,
// the response parser reads what has been received.
#pragma once

#include "http/connection.h"
#include "http/response.h"

namespace zcv {

// Receives until the parser has the whole head (interim 100 heads skipped):
// status and headers stored, the body's first bytes left buffered. 2 read;
// -1 failed with the connection's `failureReason` set.
int HttpReadResponseHead(HttpResponse* response, HttpConnection* connection);

// Receives until the parser has the whole body, framed as the head says;
// closes the socket when the body ran until close, or when the response
// asked for "close" and its framing was read. 2 complete; -1 failed (a
// refused header or size sets the connection's `failureReason`).
int HttpReadResponseBody(HttpResponse* response, HttpConnection* connection);

}  // namespace zcv
