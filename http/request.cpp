// The one exchange of a request: URI, connect, send, head, body.
#include "http/request.h"

#include <string>

#include "http/request_writer.h"
#include "http/response_reader.h"

namespace zcv {

using platform::NetKind;
using platform::NetStatus;

NetStatus HttpRequest::Get(const char* uri, const HttpRequestOptions& options) {
  if (used_) return NetStatus::Failure(NetKind::kUri, "request already performed");
  used_ = true;
  if (HttpUriParse(uri, &uri_) != 0) return NetStatus::Failure(NetKind::kUri, "malformed URI");
  if (uri_.scheme != "http") return NetStatus::Failure(NetKind::kUri, "scheme is not http");
  // The address to dial: a bracketed host is an IPv6 address, dialed
  // without its brackets.
  std::string dialed = uri_.host;
  if (!dialed.empty() && dialed.front() == '[') {
    dialed = dialed.substr(1, dialed.size() - 2);
    platform::IpAddress address;
    if (!platform::ParseIpAddress(dialed.c_str(), &address) || !address.v6) {
      return NetStatus::Failure(NetKind::kUri, "bracketed host is not an IPv6 address");
    }
  }

  HttpConnection& connection = connection_;
  connection.connectTimeout = options.connectTimeout;
  connection.sendTimeout = options.sendTimeout;
  connection.receiveTimeout = options.receiveTimeout;
  connection.cutoff = options.cutoff;
  connection.tls = options.tls;
  connection.resolver = options.resolver;
  connection.family = options.family;
  HttpConnectionResetBuffer(&connection);

  NetStatus status = HttpConnectionOpen(&connection, dialed.c_str(), uri_.port);
  if (!status.ok()) return status;
  HttpConnectionStartPhase(&connection, connection.sendTimeout);
  status = HttpWriteGet(&connection, uri_.host.c_str(), uri_.path.c_str());
  if (!status.ok()) return status;
  // One deadline for the whole response, however its bytes arrive.
  HttpConnectionStartPhase(&connection, connection.receiveTimeout);
  status = HttpReadResponseHead(&response_, &connection);
  if (!status.ok()) return status;
  return HttpReadResponseBody(&response_, &connection);
}

}  // namespace zcv
