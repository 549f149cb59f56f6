// The request helper pattern, written once: every helper fetches the body
// the same way and differs only in the reader it hands the body to.
#include "service/request_helpers.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "http/request.h"
#include "platform/com_apartment.h"
#include "reply/reply_readers.h"
#include "service/call_frame.h"

namespace zcv {
namespace {

struct RequestDeleter {
  void operator()(HttpRequest* request) const { HttpRequestDestroy(request); }
};
using RequestPtr = std::unique_ptr<HttpRequest, RequestDeleter>;

// Room for "http://", a 28-character IP, ":", a 5-character port, "/" and a
// path of up to 1,023 characters.
constexpr int kUrlBytes = 1074;
constexpr int kMessageBytes = 256;

// Fetches the attempt's server's reply body into `body` (NUL-terminated).
// Logs and returns false when there is none of an acceptable length.
bool FetchReplyBody(const Attempt& attempt, char (&body)[kMaxReplyBodyBytes + 1]) {
  ServiceContext& context = attempt.context;
  const ServerEntry& server = attempt.server;
  char url[kUrlBytes];
  FormatTemplate(url, sizeof url, "http://%s:%s/%s", {server.ip, server.port, attempt.path});

  RequestPtr request(HttpRequestCreate());
  if (HttpRequestSetUri(request.get(), url) == -1) {
    context.log.WriteLog("set url error\n");
    return false;
  }
  HttpRequestSetConnectTimeout(request.get(), context.timeouts.connect);
  HttpRequestSetReceiveTimeout(request.get(), context.timeouts.receive);
  HttpRequestSetSendTimeout(request.get(), context.timeouts.send);
  HttpRequestSetTls(request.get(), context.servers.tls());
  HttpRequestSetCutoff(request.get(), attempt.cutoffMs);
  HttpRequestSetHeader(request.get(), "Connection", "close");
  HttpRequestPrepare(request.get());
  if (HttpRequestExecute(request.get()) != 1) {
    char message[kMessageBytes] = {};
    if (const char* tls = HttpRequestGetTlsFailure(request.get())) {
      std::snprintf(message, sizeof message, "%s  tls error: %s\n", server.ip, tls);
    } else {
      std::snprintf(message, sizeof message, "%s  connect error\n", server.ip);
    }
    context.log.WriteLog(message);
    return false;
  }
  const int length = HttpRequestGetBodyLength(request.get());
  const char* bytes = HttpRequestGetBody(request.get());
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
