// Connection set-up and single-step transfers over one growable buffer.
#include "http/connection.h"

#include <cstring>

#include "http/limits.h"
#include "platform/clock.h"

namespace zcv {
namespace {

// Replaces the buffer by one of `capacity` bytes holding the same content.
// Bytes beyond the content are left unset: only what is appended or
// received is ever read.
void GrowTo(HttpConnection* connection, int capacity) {
  std::unique_ptr<char[]> grown(new char[static_cast<std::size_t>(capacity)]);
  std::memcpy(grown.get(), connection->buffer.get(), static_cast<std::size_t>(connection->used));
  connection->buffer = std::move(grown);
  connection->capacity = capacity;
}

int FailOpen(HttpConnection* connection, int kind, int code) {
  connection->failureKind = kind;
  connection->failureCode = code;
  return -1;
}

constexpr const char* kHandshakeTimedOut = "handshake timed out";

// Waits until the socket is ready as the transport asked, at most until the
// phase ends: 1 ready, 0 timed out, -1 error.
int WaitFor(const HttpConnection* connection, platform::Want want) {
  const std::int64_t deadline = connection->deadline;
  switch (want) {
    case platform::Want::kReadable:
      return platform::WaitReadable(connection->socket, deadline);
    case platform::Want::kWritable:
      return platform::WaitWritable(connection->socket, deadline);
    case platform::Want::kNothing:
      break;
  }
  return -1;
}

// Brings the transport up, waiting as it asks within the connect phase. 0,
// or an error number.
int StartTransport(HttpConnection* connection) {
  for (;;) {
    const platform::TransferResult result = connection->transport->Start();
    if (result.error != 0) {
      connection->tlsFailure = result.reason;
      return result.error;
    }
    if (result.want == platform::Want::kNothing) return 0;
    if (WaitFor(connection, result.want) != 1) {
      if (connection->tls != nullptr) connection->tlsFailure = kHandshakeTimedOut;
      return platform::TimedOutError();
    }
  }
}

// The stream over the connected socket: TLS when a context is set.
std::unique_ptr<platform::Transport> MakeTransport(const HttpConnection* connection) {
  if (connection->tls == nullptr) return platform::MakePlainTransport(connection->socket);
  return platform::MakeTlsTransport(connection->socket, *connection->tls, connection->host,
                                    connection->port);
}

// A new stream: whatever was read from the old one is forgotten.
void StartStream(HttpConnection* connection) {
  connection->peerClosed = false;
  connection->replyComplete = false;
  connection->parser = HttpResponseParser();
  connection->parsed = 0;
}

}  // namespace

HttpConnection* HttpConnectionCreate() {
  auto* connection = new HttpConnection();
  HttpConnectionResetBuffer(connection);
  return connection;
}

HttpConnection::~HttpConnection() { HttpConnectionClose(this); }

void HttpConnectionDestroy(HttpConnection* connection) { delete connection; }

void HttpConnectionClose(HttpConnection* connection) {
  if (connection->transport && connection->replyComplete) connection->transport->Finish();
  connection->replyComplete = false;
  connection->transport.reset();
  if (connection->socket == platform::kNoSocket) return;
  platform::CloseSocket(connection->socket);
  connection->socket = platform::kNoSocket;
}

void HttpConnectionAttach(HttpConnection* connection, platform::SocketHandle socket) {
  HttpConnectionClose(connection);
  StartStream(connection);
  connection->socket = socket;
  platform::MakeNonBlocking(socket);
  connection->transport = platform::MakePlainTransport(socket);
}

void HttpConnectionStartPhase(HttpConnection* connection, int seconds) {
  const std::int64_t span = static_cast<std::int64_t>(seconds < 0 ? 0 : seconds) * 1000;
  connection->deadline = platform::MonotonicMilliseconds() + span;
  if (connection->cutoff != 0 && connection->cutoff < connection->deadline) {
    connection->deadline = connection->cutoff;
  }
}

int HttpConnectionOpen(HttpConnection* connection) {
  if (connection == nullptr || connection->host == nullptr || *connection->host == '\0') return -1;
  connection->tlsFailure = nullptr;
  // Past the cut-off not even the lookup is begun.
  if (connection->cutoff != 0 && platform::MonotonicMilliseconds() >= connection->cutoff) {
    return FailOpen(connection, kFailureSocket, platform::TimedOutError());
  }
  // One connect time-out bounds the lookup and the connect together, so an
  // attempt never outlasts its three time-outs added up.
  HttpConnectionStartPhase(connection, connection->connectTimeout);
  if (!connection->resolved) {
    const int code = platform::LookupIpv4(connection->host, &connection->address,
                                          connection->deadline - platform::MonotonicMilliseconds());
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
  if (platform::WaitConnected(connection->socket, connection->deadline, &error) != 1) {
    return FailOpen(connection, kFailureSocket, error);
  }
  StartStream(connection);
  // The one place where the stream over the connected socket is chosen.
  connection->transport = MakeTransport(connection);
  error = StartTransport(connection);
  if (error != 0) return FailOpen(connection, kFailureSocket, error);
  return 0;
}

void HttpConnectionMakeRoom(HttpConnection* connection, int length) {
  if (connection->capacity - connection->used < length) {
    GrowTo(connection, connection->capacity + length);
  }
}

int HttpConnectionSend(HttpConnection* connection) {
  if (connection->remaining == 0) {
    connection->done = 0;
    connection->remaining = connection->used;
    connection->replyComplete = false;
  }
  if (!connection->transport) return -1;
  for (;;) {
    const platform::TransferResult result =
        connection->transport->Send(connection->buffer.get() + connection->done,
                                    static_cast<std::size_t>(connection->remaining));
    if (result.count > 0) {
      const int sent = static_cast<int>(result.count);
      connection->lastCount = sent;
      connection->remaining -= sent;
      connection->done += sent;
      return connection->remaining == 0 ? 2 : 1;
    }
    if (result.want == platform::Want::kNothing || result.error != 0) {
      connection->lastCount = result.error != 0 ? -1 : 0;
      connection->tlsFailure = result.reason;
      return -1;
    }
    if (WaitFor(connection, result.want) != 1) return -1;
  }
}

int HttpConnectionReceive(HttpConnection* connection) {
  if (connection->remaining == 0) {
    connection->done = 0;
    connection->remaining = connection->unit;
  }
  HttpConnectionMakeRoom(connection, connection->remaining);
  if (!connection->transport) return -1;
  const int wanted =
      connection->remaining < connection->unit ? connection->remaining : connection->unit;
  for (;;) {
    const platform::TransferResult result = connection->transport->Receive(
        connection->buffer.get() + connection->used, static_cast<std::size_t>(wanted));
    if (result.count > 0) {
      const int received = static_cast<int>(result.count);
      connection->lastCount = received;
      connection->remaining -= received;
      connection->done += received;
      connection->used += received;
      return connection->remaining == 0 ? 2 : 1;
    }
    if (result.closed) {
      connection->lastCount = 0;
      connection->peerClosed = true;
      return 2;
    }
    if (result.error != 0 || result.want == platform::Want::kNothing) {
      connection->lastCount = -1;
      connection->tlsFailure = result.reason;
      return -1;
    }
    // A wait that runs out leaves `lastCount` as it was.
    if (WaitFor(connection, result.want) != 1) return -1;
  }
}

void HttpConnectionAwaitAnswer(HttpConnection* connection) {
  if (connection->tls == nullptr && connection->transport) {
    WaitFor(connection, platform::Want::kReadable);
  }
}

void HttpConnectionResetBuffer(HttpConnection* connection) {
  // A buffer of one unit is kept for the next use; a grown one is given back.
  if (!connection->buffer || connection->capacity != connection->unit) {
    connection->buffer.reset(new char[static_cast<std::size_t>(connection->unit)]);
    connection->capacity = connection->unit;
  }
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
