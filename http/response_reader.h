// Reading the response of one exchange: the connection receives and waits,
// the response parser reads what has been received.
#pragma once

#include "http/connection.h"
#include "http/response.h"
#include "platform/net_status.h"

namespace zcv {

// Receives until the parser has the whole head (interim 100 heads skipped):
// status and headers stored, the body's first bytes left buffered.
platform::NetStatus HttpReadResponseHead(HttpResponse* response, HttpConnection* connection);

// Receives until the parser has the whole body, framed as the head says;
// closes the socket when the body ran until close, or when the response
// asked for "close" and its framing was read.
platform::NetStatus HttpReadResponseBody(HttpResponse* response, HttpConnection* connection);

}  // namespace zcv
