// HttpConnection: the transport of one request: one TCP socket (IPv4 or
// IPv6, raced to the first address that answers), the byte stream over it
// (plain or TLS), one growable I/O buffer with the counters of the
// transfer in progress, and the time-outs. Every failure is a NetStatus.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "http/limits.h"
#include "http/response_parser.h"
#include "platform/net_status.h"
#include "platform/resolver.h"
#include "platform/socket.h"
#include "platform/tls.h"
#include "platform/transport.h"

namespace zcv {

struct HttpConnection {
  platform::SocketHandle socket = platform::kNoSocket;
  // The stream over `socket` that every send and receive goes through; made
  // once the socket is connected, reset before the socket is closed.
  std::unique_ptr<platform::Transport> transport;
  // With a context, the stream is TLS to the host; without, plain TCP.
  platform::TlsContext* tls = nullptr;
  // Looks host names up; without one a name gives no address.
  platform::Resolver* resolver = nullptr;
  platform::AddressFamily family = platform::AddressFamily::kAny;
  std::unique_ptr<char[]> buffer;
  int capacity = 0;
  int used = 0;       // bytes held, from the start of `buffer`
  int done = 0;       // bytes moved by the current operation
  int remaining = 0;  // bytes still wanted; 0 means idle
  int unit = kIoUnit;
  bool peerClosed = false;  // a receive found the stream ended
  bool received = false;    // a byte of the reply has come
  bool timedOut = false;    // a send or receive ran out of its phase's time
  // The last response was read whole and no request has been sent since:
  // closing ends the stream properly (TLS: the client's close).
  bool replyComplete = false;
  // The process that made the connection, set once it is first kept: a
  // child after fork() shares the socket but must never use it.
  unsigned long owner = 0;
  HttpResponseParser parser;
  int parsed = 0;  // bytes at the front of `buffer` that the parser is done with
  // Seconds. Each bounds one whole phase: the lookup and connect, sending
  // the request, and reading the response from the request's last byte to
  // the body's.
  int connectTimeout = 0;
  int receiveTimeout = 0;
  int sendTimeout = 0;
  std::int64_t cutoff = 0;    // monotonic ms no wait goes past; 0 none
  std::int64_t deadline = 0;  // monotonic ms at which the current phase ends
  int phaseSeconds = 0;       // the current phase's length, for the reasons

  HttpConnection() = default;
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;
  // Closes the socket if one is open.
  ~HttpConnection();
};

// Starts a phase: its waits, all together, end `seconds` from now, or at
// the cut-off when that comes first.
void HttpConnectionStartPhase(HttpConnection* connection, int seconds);

// Looks `host` up unless it is an address (IPv6 without brackets), then
// connects to the first address that answers and brings the stream up,
// all within `connectTimeout` (its own phase).
platform::NetStatus HttpConnectionOpen(HttpConnection* connection, const char* host,
                                       std::uint16_t port);

// Makes room for `length` more bytes: a buffer short of it grows by `length`.
void HttpConnectionMakeRoom(HttpConnection* connection, int length);
// Appends bytes, growing the buffer by exactly what does not fit. Inline:
// a request is written in many short pieces.
inline void HttpConnectionAppend(HttpConnection* connection, const char* bytes, int length) {
  if (connection->capacity - connection->used < length) HttpConnectionMakeRoom(connection, length);
  std::memcpy(connection->buffer.get() + connection->used, bytes, static_cast<std::size_t>(length));
  connection->used += length;
}
// Sends every buffered byte, waiting at most until the phase ends, then
// empties the buffer.
platform::NetStatus HttpConnectionSend(HttpConnection* connection);
// One receive step towards `remaining` (one unit when idle), waiting at
// most until the phase ends: success when bytes came or the peer closed
// (`peerClosed`).
platform::NetStatus HttpConnectionReceive(HttpConnection* connection);
// Unless the transport already holds bytes the socket does not show, waits
// (at most until the phase ends) until the socket is readable, so that the
// receive after a request finds the answer at once instead of first finding
// nothing. Its outcome is left to that receive.
void HttpConnectionAwaitAnswer(HttpConnection* connection);
// An empty buffer of one unit; ends any operation.
void HttpConnectionResetBuffer(HttpConnection* connection);
// Drops the transport, finishing it first after a whole response, and closes
// the socket if one is open.
void HttpConnectionClose(HttpConnection* connection);

}  // namespace zcv
