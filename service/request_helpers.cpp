// The request helper pattern, written once: every helper fetches the body
// the same way and differs only in the reader it hands the body to.
#include "service/request_helpers.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "http/request.h"
#include "platform/com_apartment.h"
#include "reply/reply_readers.h"
#include "service/call_frame.h"

namespace zcv {
namespace {

// Room for "http://[", a 28-character IP, "]:", a 5-character port, "/"
// and a path of up to 1,023 characters.
constexpr int kUrlBytes = 1076;
constexpr int kMessageBytes = 320;
constexpr int kShownHostBytes = kServerIPBytes + 2;

// The server's address as the URL and the log write it: an IPv6 address
// in brackets. Copied by hand: snprintf() was a noticeable share of a kept
// call.
void ShownHost(const ServerEntry& server, char (&shown)[kShownHostBytes]) {
  const std::size_t length = strnlen(server.ip, sizeof server.ip - 1);
  const bool v6 = std::memchr(server.ip, ':', length) != nullptr;
  char* out = shown;
  if (v6) *out++ = '[';
  std::memcpy(out, server.ip, length);
  out += length;
  if (v6) *out++ = ']';
  *out = '\0';
}

// Fetches the attempt's server's reply body into `body` (NUL-terminated).
// Logs and returns false when there is none of an acceptable length.
bool FetchReplyBody(const Attempt& attempt, char (&body)[kMaxReplyBodyBytes + 1]) {
  ServiceContext& context = attempt.context;
  const ServerEntry& server = attempt.server;
  char host[kShownHostBytes];
  ShownHost(server, host);
  char url[kUrlBytes];
  FormatTemplate(url, sizeof url, "http://%s:%s/%s", {host, server.port, attempt.path});

  HttpRequestOptions options;
  options.connectTimeout = context.timeouts.connect;
  options.receiveTimeout = context.timeouts.receive;
  options.sendTimeout = context.timeouts.send;
  options.tls = context.servers.tls();
  options.cutoff = attempt.cutoffMs;
  options.resolver = context.resolver;
  options.family = context.servers.addressFamily();
  options.pool = context.pool;
  options.keepAliveSeconds = context.servers.keepAliveSeconds();
  HttpRequest request;
  const platform::NetStatus status = request.Get(url, options);
  if (!status.ok()) {
    char message[kMessageBytes] = {};
    switch (status.kind()) {
      case platform::NetKind::kUri:
        std::snprintf(message, sizeof message, "set url error\n");
        break;
      case platform::NetKind::kTls:
        std::snprintf(message, sizeof message, "%s  tls error: %s\n", host, status.reason());
        break;
      default:
        // The fixed text first, so that what matched it before still does.
        std::snprintf(message, sizeof message, "%s  connect error: %s\n", host, status.reason());
        break;
    }
    context.log.WriteLog(message);
    return false;
  }
  const HttpResponse& response = request.response();
  const int length = response.bodyLength;
  const char* bytes = response.body.empty() ? nullptr : response.body.data();
  if (length < 1 || length > kMaxReplyBodyBytes || bytes == nullptr) {
    context.log.WriteLog("get body len error \n");
    return false;
  }
  // The body ends at its first NUL, if it holds one.
  const auto* nul = static_cast<const char*>(std::memchr(bytes, '\0', length));
  const std::size_t kept =
      nul != nullptr ? static_cast<std::size_t>(nul - bytes) : static_cast<std::size_t>(length);
  std::memcpy(body, bytes, kept);
  body[kept] = '\0';
  return true;
}

template <typename Reader>
int Run(const Attempt& attempt, unsigned* code, Reader read) {
  *code = kNoAnswer;
  // Filled and NUL-terminated by a successful fetch; unread otherwise.
  char body[kMaxReplyBodyBytes + 1];
  if (!FetchReplyBody(attempt, body)) return 0;
  const int result = read(body);
  if (result == 0) attempt.context.log.WriteLog("parse xml error\n");
  return result;
}

}  // namespace

int RequestHelper(const Attempt& attempt, unsigned* code, int* expire) {
  return Run(attempt, code,
             [&](const char* body) { return ResultReplyReader(body, code, expire); });
}

int PasswordRequestHelper(const Attempt& attempt, unsigned* code, char* resvPassWord) {
  return Run(attempt, code,
             [&](const char* body) { return PasswordReplyReader(body, code, resvPassWord); });
}

int BindInfoRequestHelper(const Attempt& attempt, unsigned* code, int* rowCount,
                          pTokenBindInfo* rows) {
  return Run(attempt, code, [&](const char* body) {
    // This helper, not its reader, holds the COM apartment. Failing to
    // enter it is not a failed attempt: it ends the call through the
    // exception path, with no further server tried.
    platform::ComApartment com;
    if (!com.entered()) throw std::runtime_error("Initialize failed");
    return BindInfoReplyReader(body, code, rowCount, rows);
  });
}

int StatusRequestHelper(const Attempt& attempt, unsigned* code, int* expire, int* status) {
  return Run(attempt, code,
             [&](const char* body) { return StatusReplyReader(body, code, expire, status); });
}

}  // namespace zcv
