// HttpOutgoingRequest and its writer: the request line and the header block,
// each sent from the connection's buffer as its own send operation.
#pragma once

#include "http/connection.h"
#include "http/header_list.h"

namespace zcv {

// Index into the method-name table.
enum HttpMethod {
  kHttpGet,
  kHttpOptions,
  kHttpHead,
  kHttpPost,
  kHttpPut,
  kHttpDelete,
  kHttpTrace,
  kHttpConnect,
  kHttpPropfind,
  kHttpProppatch,
  kHttpMkcol,
  kHttpCopy,
  kHttpMove,
  kHttpLock,
  kHttpUnlock,
};

constexpr const char* kUserAgent = "zephyrcoilvault/1.0";

struct HttpOutgoingRequest {
  HttpMethod method = kHttpGet;
  float version = 1.1f;
  const char* host = nullptr;  // borrowed from the request's URI
  const char* path = nullptr;  // borrowed from the request's URI
  HttpHeaderList headers;
};

HttpOutgoingRequest* HttpOutgoingRequestCreate();
void HttpOutgoingRequestDestroy(HttpOutgoingRequest* outgoing);

// The method's name, e.g. "GET".
const char* HttpMethodName(HttpMethod method);

// "Host" becomes `host` (no port); "User-Agent" is added unless set. 0; -1
// when `outgoing` is missing.
int HttpAddDefaultHeaders(HttpOutgoingRequest* outgoing);

// Sends "<method> <path> HTTP/1.1\r\n", then the headers in slot order and a
// blank line. 2 sent; -1 a send step failed or no path is bound.
int HttpWriteRequest(HttpOutgoingRequest* outgoing, HttpConnection* connection);

}  // namespace zcv
