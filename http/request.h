// HttpRequest: one synchronous HTTP/1.1 GET exchange over IPv4 TCP. The
// request helpers create one per attempt, execute it once and destroy it.
// Operations report by integer result and never throw.
#pragma once

#include <cstdint>

namespace zcv {

namespace platform {
class TlsContext;
}  // namespace platform

struct HttpRequest;

HttpRequest* HttpRequestCreate();
// 0 stored; -1 missing argument or malformed URI (the previous URI is kept).
int HttpRequestSetUri(HttpRequest* request, const char* uri);
// 0; -1 when the request is missing. Whole seconds, each bounding a whole
// phase: the connect, sending the request, and reading the response from
// the request's last byte to the body's last.
int HttpRequestSetConnectTimeout(HttpRequest* request, int seconds);
int HttpRequestSetReceiveTimeout(HttpRequest* request, int seconds);
int HttpRequestSetSendTimeout(HttpRequest* request, int seconds);
// Speaks TLS through `context` (not owned; it outlives the request) to the
// URI's host; null for plain TCP. 0; -1 when the request is missing.
int HttpRequestSetTls(HttpRequest* request, platform::TlsContext* context);
// An instant on platform::MonotonicMilliseconds() that no wait of the
// exchange (name lookup, connect, send, receive) goes past; 0 for
// none. 0; -1 when the request is missing.
int HttpRequestSetCutoff(HttpRequest* request, std::int64_t monotonicMs);
// 1 stored; 0 not stored.
int HttpRequestSetHeader(HttpRequest* request, const char* name, const char* value);
// 0 ready; 1 the scheme is not "http".
int HttpRequestPrepare(HttpRequest* request);
// 1 a complete response was received (any status); -1 failure.
int HttpRequestExecute(HttpRequest* request);
int HttpRequestGetBodyLength(const HttpRequest* request);
// Owned by the request; valid until it is destroyed.
const char* HttpRequestGetBody(const HttpRequest* request);
// Why the last execution failed: a lookup text, an error-number text, or a
// response reading reason; nullptr when none was recorded. Owned by the
// request.
const char* HttpRequestGetFailureReason(const HttpRequest* request);
// Why TLS failed in the last execution (handshake, verification, or a reply
// cut off without the server's TLS close); nullptr when it did not. Static.
const char* HttpRequestGetTlsFailure(const HttpRequest* request);
void HttpRequestDestroy(HttpRequest* request);

}  // namespace zcv
