// The request this client sends: one GET, its line and header block
// written into the connection's buffer and sent in one operation.
#pragma once

#include "http/connection.h"
#include "platform/net_status.h"

namespace zcv {

constexpr const char* kUserAgent = "zephyrcoilvault/1.0";

// Sends "GET <path> HTTP/1.1", then "Connection: close" unless the
// connection is to be kept (`close` false), "Host: <host>" (as the URI
// writes it, an IPv6 address in brackets) and the User-Agent, and the
// blank line.
platform::NetStatus HttpWriteGet(HttpConnection* connection, const char* host, const char* path,
                                 bool close = true);

}  // namespace zcv
