// Reading the response head: the status line and the header lines, with
// interim 100 responses skipped.
#pragma once

#include "http/connection.h"
#include "http/response.h"

namespace zcv {

// Receives until a whole head is buffered, checks the status line, stores
// the headers, and drops the head so that the buffer starts with the first
// body bytes. 2 read; -1 failed with the connection's `failureReason` set.
int HttpReadResponseHead(HttpResponse* response, HttpConnection* connection);

}  // namespace zcv
