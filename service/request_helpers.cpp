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

// Fetches the current server's reply body into `body` (NUL-terminated).
// Logs and returns false when there is none of an acceptable length.
bool FetchReplyBody(ServiceContext& context, const char* path, std::int64_t cutoffMs,
                    char (&body)[kMaxReplyBodyBytes + 1]) {
  // IP and port of one and the same server, read in one locked step.
  const ServerEntry server = context.servers.Current();
  char url[kUrlBytes];
  FormatTemplate(url, sizeof url, "http://%s:%s/%s", {server.ip, server.port, path});

  RequestPtr request(HttpRequestCreate());
  if (HttpRequestSetUri(request.get(), url) == -1) {
    context.log.WriteLog("set url error\n");
    return false;
  }
  HttpRequestSetConnectTimeout(request.get(), context.timeouts.connect);
  HttpRequestSetReceiveTimeout(request.get(), context.timeouts.receive);
  HttpRequestSetSendTimeout(request.get(), context.timeouts.send);
  HttpRequestSetTls(request.get(), context.servers.tls());
  HttpRequestSetCutoff(request.get(), cutoffMs);
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
int Attempt(ServiceContext& context, const char* path, std::int64_t cutoffMs, unsigned* code,
            Reader read) {
  *code = kNoAnswer;
  // Filled and NUL-terminated by a successful fetch; unread otherwise.
  char body[kMaxReplyBodyBytes + 1];
  if (!FetchReplyBody(context, path, cutoffMs, body)) return 0;
  const int result = read(body);
  if (result == 0) context.log.WriteLog("parse xml error\n");
  return result;
}

}  // namespace

int RequestHelper(ServiceContext& context, const char* path, std::int64_t cutoffMs, unsigned* code,
                  int* expire) {
  return Attempt(context, path, cutoffMs, code,
                 [&](const char* body) { return ResultReplyReader(body, code, expire); });
}

int PasswordRequestHelper(ServiceContext& context, const char* path, std::int64_t cutoffMs,
                          unsigned* code, char* resvPassWord) {
  return Attempt(context, path, cutoffMs, code,
                 [&](const char* body) { return PasswordReplyReader(body, code, resvPassWord); });
}

int BindInfoRequestHelper(ServiceContext& context, const char* path, std::int64_t cutoffMs,
                          unsigned* code, int* rowCount, pTokenBindInfo* rows) {
  return Attempt(context, path, cutoffMs, code, [&](const char* body) {
    // This helper, not its reader, holds the COM apartment. Failing to
    // enter it is not a failed attempt: it ends the call through the
    // exception path, with no further server tried.
    platform::ComApartment com;
    if (!com.entered()) throw std::runtime_error("Initialize failed");
    return BindInfoReplyReader(body, code, rowCount, rows);
  });
}

int StatusRequestHelper(ServiceContext& context, const char* path, std::int64_t cutoffMs,
                        unsigned* code, int* expire, int* status) {
  return Attempt(context, path, cutoffMs, code,
                 [&](const char* body) { return StatusReplyReader(body, code, expire, status); });
}

}  // namespace zcv
