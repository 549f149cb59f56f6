// HttpConnection: the transport of one request: the bound host, one IPv4
// TCP socket, one growable I/O buffer with the counters of the transfer in
// progress, and the three time-outs.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "http/limits.h"
#include "http/response_parser.h"
#include "platform/socket.h"
#include "platform/tls.h"
#include "platform/transport.h"

namespace zcv {

// Kinds of connect-phase failure.
constexpr int kFailureLookup = 0;
constexpr int kFailureSocket = 1;

struct HttpConnection {
  bool resolved = false;  // `address` holds the lookup result for `host`
  platform::Ipv4Address address;
  const char* host = nullptr;  // borrowed from the request's URI
  platform::SocketHandle socket = platform::kNoSocket;
  // The stream over `socket` that every send and receive goes through; made
  // once the socket is connected, reset before the socket is closed.
  std::unique_ptr<platform::Transport> transport;
  // With a context, the stream is TLS to `host`; without, plain TCP.
  platform::TlsContext* tls = nullptr;
  // Why TLS failed in the last open, send or receive; nullptr when it did not.
  const char* tlsFailure = nullptr;
  std::uint16_t port = 80;
  int failureKind = kFailureLookup;
  int failureCode = 0;
  std::unique_ptr<char[]> buffer;
  int capacity = 0;
  int used = 0;       // bytes held, from the start of `buffer`
  int done = 0;       // bytes moved by the current operation
  int remaining = 0;  // bytes still wanted; 0 means idle
  int unit = kIoUnit;
  int lastCount = 0;        // result of the last send or receive call
  bool peerClosed = false;  // a receive found the stream ended
  // The last response was read whole and no request has been sent since:
  // closing ends the stream properly (TLS: the client's close).
  bool replyComplete = false;
  HttpResponseParser parser;
  int parsed = 0;  // bytes at the front of `buffer` that the parser is done with
  // Seconds. Each bounds one whole phase: the connect, sending the request,
  // and reading the response from the request's last byte to the body's.
  int connectTimeout = 0;
  int receiveTimeout = 0;
  int sendTimeout = 0;
  std::int64_t cutoff = 0;              // monotonic ms no wait goes past; 0 none
  std::int64_t deadline = 0;            // monotonic ms at which the current phase ends
  const char* failureReason = nullptr;  // static text of the last read failure

  HttpConnection() = default;
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;
  // Closes the socket if one is open.
  ~HttpConnection();
};

HttpConnection* HttpConnectionCreate();
void HttpConnectionDestroy(HttpConnection* connection);

// Starts a phase: its waits, all together, end `seconds` from now, or at
// the cut-off when that comes first. Before the first phase nothing waits.
void HttpConnectionStartPhase(HttpConnection* connection, int seconds);

// Resolves `host` once, then connects without blocking within
// `connectTimeout` (its own phase). 0 connected; -1 failed with `failureKind` and
// `failureCode` set (untouched when no host is bound).
int HttpConnectionOpen(HttpConnection* connection);

// Takes over a connected socket (which it closes), makes it non-blocking and
// reads and writes it through the plain stream; a new response is read.
void HttpConnectionAttach(HttpConnection* connection, platform::SocketHandle socket);

// Makes room for `length` more bytes: a buffer short of it grows by `length`.
void HttpConnectionMakeRoom(HttpConnection* connection, int length);
// Appends bytes, growing the buffer by exactly what does not fit. 1. Inline:
// a request is written in many short pieces.
inline int HttpConnectionAppend(HttpConnection* connection, const char* bytes, int length) {
  if (connection->capacity - connection->used < length) HttpConnectionMakeRoom(connection, length);
  std::memcpy(connection->buffer.get() + connection->used, bytes, static_cast<std::size_t>(length));
  connection->used += length;
  return 1;
}
// One send step over the buffered bytes, waiting at most until the phase
// ends: 1 more to send, 2 all sent, -1 failed.
int HttpConnectionSend(HttpConnection* connection);
// One receive step towards `remaining` (one unit when idle), waiting at
// most until the phase ends: 1 more wanted,
// 2 target reached (`lastCount` > 0) or peer closed (`lastCount` 0), -1
// failed.
int HttpConnectionReceive(HttpConnection* connection);
// Over plain TCP, waits (at most until the phase ends) until the socket is
// readable, so that the receive after a request finds the answer at once
// instead of first finding nothing. Its outcome is left to that receive.
// TLS may hold bytes the socket does not show, so it is not waited on.
void HttpConnectionAwaitAnswer(HttpConnection* connection);
// An empty buffer of one unit; ends any operation.
void HttpConnectionResetBuffer(HttpConnection* connection);
// Drops the bytes before `position` and ends any operation.
void HttpConnectionConsume(HttpConnection* connection, int position);
// Drops the transport, finishing it first after a whole response, and closes
// the socket if one is open.
void HttpConnectionClose(HttpConnection* connection);

// The static text for a lookup failure code.
const char* HttpLookupErrorText(int code);

}  // namespace zcv
