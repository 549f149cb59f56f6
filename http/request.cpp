// The one exchange of a request: URI, connect, send, head, body.
#include "http/request.h"

#include <cstring>
#include <string>

#include "http/request_writer.h"
#include "http/response_reader.h"
#include "platform/clock.h"

namespace zcv {

using platform::NetKind;
using platform::NetStatus;

namespace {

constexpr std::int64_t kMillisPerSecond = 1000;

void Configure(HttpConnection* connection, const HttpRequestOptions& options) {
  connection->connectTimeout = options.connectTimeout;
  connection->sendTimeout = options.sendTimeout;
  connection->receiveTimeout = options.receiveTimeout;
  connection->cutoff = options.cutoff;
  connection->tls = options.tls;
  connection->resolver = options.resolver;
  connection->family = options.family;
  // A kept connection starts a new response.
  HttpConnectionResetBuffer(connection);
  connection->parser = HttpResponseParser();
  connection->parsed = 0;
  connection->peerClosed = false;
  connection->received = false;
  connection->timedOut = false;
}

// A kept connection that failed before any byte of its reply, closed or
// reset: the server closed it meanwhile, most likely, and a new one is
// worth one try. One whose time ran out is not tried again, so that no
// attempt takes longer than its time-outs.
bool WorthAnotherConnection(const NetStatus& status, const HttpConnection& connection) {
  return !connection.received && !connection.timedOut &&
         (status.kind() == NetKind::kSend || status.kind() == NetKind::kReceive);
}

}  // namespace

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

  const bool keep = options.pool != nullptr && options.keepAliveSeconds > 0;
  std::string server;
  if (keep) {
    server = uri_.host + ":" + std::to_string(uri_.port);
    connection_ = options.pool->Take(
        server, static_cast<std::int64_t>(options.keepAliveSeconds) * kMillisPerSecond);
  }
  NetStatus status;
  HttpRequestOptions fresh = options;
  if (connection_) {
    const std::int64_t start = platform::MonotonicMilliseconds();
    Configure(connection_.get(), options);
    status = Exchange(true);
    if (status.ok() || !WorthAnotherConnection(status, *connection_)) {
      if (status.ok() && Reusable()) options.pool->Give(server, std::move(connection_));
      return status;
    }
    connection_.reset();
    response_.emplace();
    // The second connection ends where the attempt's time-outs, counted
    // from the first, would have ended it.
    const std::int64_t end = start + (static_cast<std::int64_t>(options.connectTimeout) +
                                      options.sendTimeout + options.receiveTimeout) *
                                         kMillisPerSecond;
    if (fresh.cutoff == 0 || end < fresh.cutoff) fresh.cutoff = end;
  }
  connection_ = std::make_unique<HttpConnection>();
  Configure(connection_.get(), fresh);
  status = HttpConnectionOpen(connection_.get(), dialed.c_str(), uri_.port);
  if (!status.ok()) return status;
  status = Exchange(keep);
  if (keep && status.ok() && Reusable()) options.pool->Give(server, std::move(connection_));
  return status;
}

NetStatus HttpRequest::Exchange(bool keep) {
  HttpConnection& connection = *connection_;
  HttpConnectionStartPhase(&connection, connection.sendTimeout);
  NetStatus status = HttpWriteGet(&connection, uri_.host.c_str(), uri_.path.c_str(), !keep);
  if (!status.ok()) return status;
  // One deadline for the whole response, however its bytes arrive.
  HttpConnectionStartPhase(&connection, connection.receiveTimeout);
  status = HttpReadResponseHead(&*response_, &connection);
  if (!status.ok()) return status;
  return HttpReadResponseBody(&*response_, &connection);
}

bool HttpRequest::Reusable() const {
  const HttpConnection& connection = *connection_;
  const HttpResponseParser& parser = connection.parser;
  if (connection.socket == platform::kNoSocket || connection.peerClosed || parser.closeAfterBody) {
    return false;
  }
  const int left = connection.used - connection.parsed;
  // Bytes that came with the reply past its Content-Length are taken into
  // the body; a server whose framing was wrong is not trusted with another
  // request on the same connection.
  if (parser.framing == HttpFraming::kLength) {
    return left == 0 && response_->bodyLength == response_->contentLength;
  }
  // The chunked coding's closing line end is left unread by the parser;
  // trailers, or anything else, end the connection.
  return parser.framing == HttpFraming::kChunked &&
         (left == 0 ||
          (left == 2 && std::memcmp(connection.buffer.get() + connection.parsed, "\r\n", 2) == 0));
}

}  // namespace zcv
