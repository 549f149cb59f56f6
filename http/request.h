// HttpRequest: one synchronous HTTP/1.1 GET over IPv4 or IPv6 TCP, plain or
// TLS. The request helpers make one per attempt and perform it once; every
// failure, from the name lookup to the last byte of the reply, comes back
// as one NetStatus. Nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "http/connection.h"
#include "http/connection_pool.h"
#include "http/response.h"
#include "http/uri.h"
#include "platform/net_status.h"
#include "platform/resolver.h"
#include "platform/tls.h"

namespace zcv {

struct HttpRequestOptions {
  // Whole seconds, each bounding a whole phase: the lookup and connect,
  // sending the request, and reading the response from the request's last
  // byte to the body's last.
  int connectTimeout = 0;
  int sendTimeout = 0;
  int receiveTimeout = 0;
  // An instant on platform::MonotonicMilliseconds() that no wait goes
  // past; 0 for none.
  std::int64_t cutoff = 0;
  platform::TlsContext* tls = nullptr;     // null: plain TCP; not owned
  platform::Resolver* resolver = nullptr;  // looks names up; not owned
  platform::AddressFamily family = platform::AddressFamily::kAny;
  // With a pool and KeepAlive seconds above 0, the connection is kept: the
  // request leaves out "Connection: close", takes an idle connection to
  // the URI's host and port from the pool or opens one, and puts it back
  // after a reply read whole that allows it. A kept connection that fails
  // before a byte of the reply has come is given up and the request sent
  // once more on a new connection; should the server have acted on the
  // first one and closed without answering, it sees the request twice.
  HttpConnectionPool* pool = nullptr;  // not owned
  int keepAliveSeconds = 0;
};

class HttpRequest {
 public:
  HttpRequest() = default;
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  // Sends "GET" for the absolute "http://" URI (the host a name, a dotted
  // quad or a bracketed IPv6 address) and reads the whole response, of any
  // status. Success leaves the response in response(); a failure is a
  // status of its kind with its reason (kUri for a URI that cannot be
  // read, or a second call on the same request).
  platform::NetStatus Get(const char* uri, const HttpRequestOptions& options);

  // After a successful Get: the status code, headers and body; the body
  // is followed by one zero byte its length does not count.
  const HttpResponse& response() const { return *response_; }

 private:
  // Sends the request over `connection_` and reads the whole response.
  platform::NetStatus Exchange(bool keep);
  // After a successful exchange: whether the connection may carry another.
  bool Reusable() const;

  bool used_ = false;
  HttpUri uri_;
  std::optional<HttpResponse> response_{std::in_place};
  std::unique_ptr<HttpConnection> connection_;
};

}  // namespace zcv
