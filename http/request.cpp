// The request operations: binding a URI to the transport, and one exchange
// driven through its three phases.
#include "http/request.h"

#include <utility>

#include "http/request_record.h"
#include "http/response_reader.h"
#include "platform/socket.h"

namespace zcv {
namespace {

constexpr int kDefaultConnectTimeout = 30;
constexpr int kDefaultReceiveTimeout = 20;
constexpr int kDefaultSendTimeout = 20;

const char* TextOrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

void CloseConnection(HttpRequest* request) {
  HttpConnectionClose(&request->connection);
  request->connected = 0;
}

// Records why the connection could not be opened.
void NoteOpenFailure(HttpRequest* request) {
  const HttpConnection& connection = request->connection;
  request->failureReason =
      connection.failureKind == kFailureSocket
          ? platform::ErrorNumberText(connection.failureCode, request->errorText,
                                      sizeof request->errorText)
          : HttpLookupErrorText(connection.failureCode);
}

// A body framed by its length that was cut: the bytes received of it are
// delivered by their count.
bool PartialBody(const HttpResponse& response) {
  return response.contentLength > 0 && response.bodyLength == 0;
}

}  // namespace

HttpRequest* HttpRequestCreate() {
  // One allocation holds the URI, the outgoing request, the response and
  // the connection records.
  auto* request = new HttpRequest;
  HttpConnectionResetBuffer(&request->connection);
  request->connection.connectTimeout = kDefaultConnectTimeout;
  request->connection.receiveTimeout = kDefaultReceiveTimeout;
  request->connection.sendTimeout = kDefaultSendTimeout;
  return request;
}

int HttpRequestSetUri(HttpRequest* request, const char* uri) {
  if (request == nullptr || uri == nullptr) return -1;
  HttpUri parsed;
  if (HttpUriParse(uri, &parsed) != 0) return -1;
  request->uri = std::move(parsed);
  // The borrowed texts went with the old record; Prepare binds the new one.
  request->connection.host = nullptr;
  request->outgoing.host = nullptr;
  request->outgoing.path = nullptr;
  return 0;
}

int HttpRequestSetConnectTimeout(HttpRequest* request, int seconds) {
  if (request == nullptr) return -1;
  request->connection.connectTimeout = seconds;
  return 0;
}

int HttpRequestSetReceiveTimeout(HttpRequest* request, int seconds) {
  if (request == nullptr) return -1;
  request->connection.receiveTimeout = seconds;
  return 0;
}

int HttpRequestSetSendTimeout(HttpRequest* request, int seconds) {
  if (request == nullptr) return -1;
  request->connection.sendTimeout = seconds;
  return 0;
}

int HttpRequestSetTls(HttpRequest* request, platform::TlsContext* context) {
  if (request == nullptr) return -1;
  request->connection.tls = context;
  return 0;
}

int HttpRequestSetCutoff(HttpRequest* request, std::int64_t monotonicMs) {
  if (request == nullptr) return -1;
  request->connection.cutoff = monotonicMs;
  return 0;
}

int HttpRequestSetHeader(HttpRequest* request, const char* name, const char* value) {
  if (request == nullptr) return 0;
  return HttpHeaderSet(&request->outgoing.headers, name, value);
}

int HttpRequestPrepare(HttpRequest* request) {
  if (request == nullptr) return -1;
  const HttpUri& uri = request->uri;
  if (uri.scheme && *uri.scheme != "http") return 1;
  HttpConnection& connection = request->connection;
  const char* host = TextOrNull(uri.host);
  if (connection.host == nullptr || connection.host != host || connection.port != uri.port) {
    connection.host = host;
    request->outgoing.host = host;
    connection.port = uri.port;
    connection.resolved = false;
    CloseConnection(request);
  }
  const char* path = TextOrNull(uri.path);
  if (request->outgoing.path != path) {
    request->outgoing.path = path;
    request->outgoing.host = host;
  }
  HttpAddDefaultHeaders(&request->outgoing);
  return 0;
}

int HttpRequestExecute(HttpRequest* request) {
  if (request == nullptr) return -1;
  HttpConnection* connection = &request->connection;
  if (request->state == kStateIdle) request->state = kStateSending;

  if (request->connected == 0) {
    if (HttpConnectionOpen(connection) != 0) {
      NoteOpenFailure(request);
      return -1;
    }
    request->connected = 1;
  }
  HttpConnectionStartPhase(connection, connection->sendTimeout);
  if (HttpWriteRequest(&request->outgoing, connection) != 2) return -1;
  request->state = kStateReadingHead;

  // One deadline for the whole response, however its bytes arrive.
  HttpConnectionStartPhase(connection, connection->receiveTimeout);

  if (HttpReadResponseHead(&request->response, connection) != 2) return -1;
  request->state = kStateReadingBody;

  const int result = HttpReadResponseBody(&request->response, connection);
  if (connection->socket == platform::kNoSocket) request->connected = 0;
  if (result != 2) return -1;
  request->state = kStateIdle;
  return 1;
}

int HttpRequestGetBodyLength(const HttpRequest* request) {
  if (request == nullptr) return 0;
  const HttpResponse& response = request->response;
  switch (request->state) {
    case kStateIdle:
      return response.bodyLength;
    case kStateReadingBody:
      return PartialBody(response) ? static_cast<int>(response.body.size()) : response.bodyLength;
    default:
      return 0;
  }
}

const char* HttpRequestGetBody(const HttpRequest* request) {
  if (request == nullptr) return nullptr;
  const HttpResponse& response = request->response;
  switch (request->state) {
    case kStateIdle:
      return response.body.empty() ? nullptr : response.body.data();
    case kStateReadingBody:
      if (PartialBody(response)) {
        return response.body.empty() ? request->connection.buffer.get() : response.body.data();
      }
      // Only whole chunks count; a chunk cut short is no body.
      return response.bodyLength > 0 ? response.body.data() : nullptr;
    default:
      return nullptr;
  }
}

const char* HttpRequestGetFailureReason(const HttpRequest* request) {
  if (request == nullptr) return nullptr;
  return request->failureReason != nullptr ? request->failureReason
                                           : request->connection.failureReason;
}

const char* HttpRequestGetTlsFailure(const HttpRequest* request) {
  return request != nullptr ? request->connection.tlsFailure : nullptr;
}

void HttpRequestDestroy(HttpRequest* request) { delete request; }

}  // namespace zcv
