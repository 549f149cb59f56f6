// Connection set-up and single-step transfers over one growable buffer.
#include "http/connection.h"

#include <cstring>

#include "http/limits.h"

namespace zcv {
namespace {

// Replaces the buffer by one of `capacity` bytes holding the same content.
void GrowTo(HttpConnection* connection, int capacity) {
  std::unique_ptr<char[]> grown(new char[static_cast<std::size_t>(capacity)]());
  std::memcpy(grown.get(), connection->buffer.get(), static_cast<std::size_t>(connection->used));
  connection->buffer = std::move(grown);
  connection->capacity = capacity;
}

int FailOpen(HttpConnection* connection, int kind, int code) {
  connection->failureKind = kind;
  connection->failureCode = code;
  return -1;
}

}  // namespace

HttpConnection* HttpConnectionCreate() {
  auto* connection = new HttpConnection();
  connection->unit = kIoUnit;
  HttpConnectionResetBuffer(connection);
  return connection;
}

void HttpConnectionDestroy(HttpConnection* connection) {
  if (connection == nullptr) return;
  HttpConnectionClose(connection);
  delete connection;
}

void HttpConnectionClose(HttpConnection* connection) {
  if (connection->socket == platform::kNoSocket) return;
  platform::CloseSocket(connection->socket);
  connection->socket = platform::kNoSocket;
}

int HttpConnectionOpen(HttpConnection* connection) {
  if (connection == nullptr || connection->host == nullptr || *connection->host == '\0') return -1;
  if (!connection->resolved) {
    const int code = platform::LookupIpv4(connection->host, &connection->address,
                                          connection->connectTimeout * std::int64_t{1000});
    if (code != 0) return FailOpen(connection, kFailureLookup, code);
    connection->resolved = true;
  }
  connection->address.port = connection->port;
  // A socket left from an earlier failed attempt would otherwise leak.
  HttpConnectionClose(connection);
  int error = 0;
  connection->socket = platform::OpenTcpSocket(&error);
  if (connection->socket == platform::kNoSocket) return FailOpen(connection, kFailureSocket, error);
  error = platform::PrepareTcpSocket(connection->socket);
  if (error != 0) return FailOpen(connection, kFailureSocket, error);
  error = platform::StartConnect(connection->socket, connection->address);
  if (error != 0) return FailOpen(connection, kFailureSocket, error);
  if (platform::WaitConnected(connection->socket, connection->connectTimeout, &error) != 1) {
    return FailOpen(connection, kFailureSocket, error);
  }
  return 0;
}

int HttpWaitConnected(platform::SocketHandle socket, int seconds) {
  int error = 0;
  return platform::WaitConnected(socket, seconds, &error);
}

int HttpWaitWritable(platform::SocketHandle socket, int seconds) {
  return platform::WaitWritable(socket, seconds);
}

int HttpWaitReadable(platform::SocketHandle socket, int seconds) {
  return platform::WaitReadable(socket, seconds);
}

int HttpConnectionAppend(HttpConnection* connection, const char* bytes, int length) {
  if (connection->capacity - connection->used < length) {
    GrowTo(connection, connection->capacity + length);
  }
  std::memcpy(connection->buffer.get() + connection->used, bytes, static_cast<std::size_t>(length));
  connection->used += length;
  return 1;
}

int HttpConnectionSend(HttpConnection* connection, bool moreFollows) {
  if (connection->remaining == 0) {
    connection->done = 0;
    connection->remaining = connection->used;
  }
  if (HttpWaitWritable(connection->socket, connection->sendTimeout) != 1) return -1;
  int error = 0;
  const long sent =
      platform::SendSome(connection->socket, connection->buffer.get() + connection->done,
                         static_cast<std::size_t>(connection->remaining), moreFollows, &error);
  connection->lastCount = static_cast<int>(sent);
  if (sent <= 0) return -1;
  connection->remaining -= static_cast<int>(sent);
  connection->done += static_cast<int>(sent);
  return connection->remaining == 0 ? 2 : 1;
}

int HttpConnectionReceive(HttpConnection* connection) {
  if (connection->remaining == 0) {
    connection->done = 0;
    connection->remaining = connection->unit;
  }
  if (connection->capacity - connection->used < connection->remaining) {
    GrowTo(connection, connection->capacity + connection->remaining);
  }
  if (HttpWaitReadable(connection->socket, connection->receiveTimeout) != 1) return -1;
  const int wanted =
      connection->remaining < connection->unit ? connection->remaining : connection->unit;
  int error = 0;
  const long received =
      platform::ReceiveSome(connection->socket, connection->buffer.get() + connection->used,
                            static_cast<std::size_t>(wanted), &error);
  connection->lastCount = static_cast<int>(received);
  if (received < 0) return -1;
  if (received == 0) return 2;
  connection->remaining -= static_cast<int>(received);
  connection->done += static_cast<int>(received);
  connection->used += static_cast<int>(received);
  return connection->remaining == 0 ? 2 : 1;
}

void HttpConnectionResetBuffer(HttpConnection* connection) {
  connection->buffer.reset(new char[static_cast<std::size_t>(connection->unit)]());
  connection->capacity = connection->unit;
  connection->used = 0;
  connection->done = 0;
  connection->remaining = 0;
}

void HttpConnectionConsume(HttpConnection* connection, int position) {
  if (position > 0) {
    std::memmove(connection->buffer.get(), connection->buffer.get() + position,
                 static_cast<std::size_t>(connection->used - position));
    connection->used -= position;
  }
  connection->done = 0;
  connection->remaining = 0;
}

int HttpFindBytes(const char* bytes, int length, const char* pattern, int patternLength) {
  for (int start = 0; start <= length - patternLength; ++start) {
    if (std::memcmp(bytes + start, pattern, static_cast<std::size_t>(patternLength)) == 0) {
      return start;
    }
  }
  return -1;
}

const char* HttpLookupErrorText(int code) {
  struct Row {
    int code;
    const char* text;
  };
  static constexpr Row kRows[] = {
      {platform::kLookupHostNotFound, "Host not found"},
      {platform::kLookupTryAgain,
       "A temporary error occurred on an authoritative name server.  Please try again later."},
      {platform::kLookupNoRecovery, "An unrecoverable name server error occured"},
      {platform::kLookupNoData, "An address is not associated with that host"},
  };
  for (const Row& row : kRows) {
    if (row.code == code) return row.text;
  }
  return "No error or error not known.";
}

}  // namespace zcv
