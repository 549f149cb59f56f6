// Connection set-up and single-step transfers over one growable buffer.
#include "http/connection.h"

#include <cstring>
#include <vector>

#include "http/limits.h"
#include "platform/clock.h"
#include "platform/connector.h"

namespace zcv {
namespace {

using platform::NetKind;
using platform::NetStatus;

constexpr std::int64_t kMillisPerSecond = 1000;
constexpr std::size_t kErrorTextBytes = 96;

// Replaces the buffer by one of `capacity` bytes holding the same content.
// Bytes beyond the content are left unset: only what is appended or
// received is ever read.
void GrowTo(HttpConnection* connection, int capacity) {
  std::unique_ptr<char[]> grown(new char[static_cast<std::size_t>(capacity)]);
  std::memcpy(grown.get(), connection->buffer.get(), static_cast<std::size_t>(connection->used));
  connection->buffer = std::move(grown);
  connection->capacity = capacity;
}

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

// The status of a transfer that failed: TLS's own reason when it gave one,
// otherwise `kind` with `what` and the error's text.
NetStatus TransferFailure(const platform::TransferResult& result, NetKind kind, const char* what) {
  if (result.reason != nullptr) return NetStatus::Failure(NetKind::kTls, "%s", result.reason);
  char text[kErrorTextBytes];
  return NetStatus::Failure(kind, "%s: %s", what,
                            platform::ErrorNumberText(result.error, text, sizeof text));
}

// Brings the transport up, waiting as it asks within the connect phase.
NetStatus StartTransport(HttpConnection* connection) {
  for (;;) {
    const platform::TransferResult result = connection->transport->Start();
    if (result.error != 0) return TransferFailure(result, NetKind::kConnect, "stream not started");
    if (result.want == platform::Want::kNothing) return NetStatus();
    if (WaitFor(connection, result.want) != 1) {
      return NetStatus::Failure(NetKind::kTls, "handshake timed out");
    }
  }
}

// The stream over the connected socket: TLS when a context is set.
std::unique_ptr<platform::Transport> MakeTransport(const HttpConnection* connection,
                                                   const char* host, std::uint16_t port) {
  if (connection->tls == nullptr) return platform::MakePlainTransport(connection->socket);
  return platform::MakeTlsTransport(connection->socket, *connection->tls, host, port);
}

const char* FamilyName(platform::AddressFamily family) {
  return family == platform::AddressFamily::kIpv4 ? "ipv4" : "ipv6";
}

}  // namespace

HttpConnection::~HttpConnection() { HttpConnectionClose(this); }

void HttpConnectionClose(HttpConnection* connection) {
  if (connection->transport && connection->replyComplete) connection->transport->Finish();
  connection->replyComplete = false;
  connection->transport.reset();
  if (connection->socket == platform::kNoSocket) return;
  platform::CloseSocket(connection->socket);
  connection->socket = platform::kNoSocket;
}

void HttpConnectionStartPhase(HttpConnection* connection, int seconds) {
  const std::int64_t now = platform::MonotonicMilliseconds();
  const std::int64_t span = static_cast<std::int64_t>(seconds < 0 ? 0 : seconds) * kMillisPerSecond;
  connection->deadline = now + span;
  connection->phaseSeconds = seconds < 0 ? 0 : seconds;
  if (connection->cutoff != 0 && connection->cutoff < connection->deadline) {
    connection->deadline = connection->cutoff;
    const std::int64_t left = connection->cutoff > now ? connection->cutoff - now : 0;
    connection->phaseSeconds = static_cast<int>((left + kMillisPerSecond - 1) / kMillisPerSecond);
  }
}

NetStatus HttpConnectionOpen(HttpConnection* connection, const char* host, std::uint16_t port) {
  // Past the cut-off not even the lookup is begun.
  if (connection->cutoff != 0 && platform::MonotonicMilliseconds() >= connection->cutoff) {
    return NetStatus::Failure(NetKind::kConnect, "the call's time ran out before the connect");
  }
  // One connect time-out bounds the lookup and the connect together, so an
  // attempt never outlasts its three time-outs added up.
  HttpConnectionStartPhase(connection, connection->connectTimeout);
  platform::IpAddress literal;
  std::vector<platform::IpAddress> found;
  const platform::IpAddress* addresses = &literal;
  std::size_t count = 1;
  if (platform::ParseIpAddress(host, &literal)) {
    if (!platform::FamilyAllows(connection->family, literal)) {
      return NetStatus::Failure(NetKind::kConnect, "address not of AddressFamily=%s",
                                FamilyName(connection->family));
    }
  } else {
    if (connection->resolver == nullptr) {
      return NetStatus::Failure(NetKind::kLookup, "no address (no resolver)");
    }
    NetStatus looked =
        connection->resolver->Lookup(host, connection->family, connection->deadline, &found);
    if (!looked.ok()) return looked;
    platform::InterleaveFamilies(&found);
    addresses = found.data();
    count = found.size();
  }
  // A socket left from an earlier failed attempt would otherwise leak.
  HttpConnectionClose(connection);
  NetStatus connected =
      platform::ConnectFirst(addresses, count, port, connection->deadline, &connection->socket);
  if (!connected.ok()) return connected;
  connection->peerClosed = false;
  connection->received = false;
  connection->replyComplete = false;
  connection->parser = HttpResponseParser();
  connection->parsed = 0;
  // The one place where the stream over the connected socket is chosen.
  connection->transport = MakeTransport(connection, host, port);
  return StartTransport(connection);
}

void HttpConnectionMakeRoom(HttpConnection* connection, int length) {
  if (connection->capacity - connection->used < length) {
    GrowTo(connection, connection->capacity + length);
  }
}

NetStatus HttpConnectionSend(HttpConnection* connection) {
  connection->done = 0;
  connection->remaining = connection->used;
  connection->replyComplete = false;
  if (!connection->transport) return NetStatus::Failure(NetKind::kSend, "not connected");
  while (connection->remaining > 0) {
    const platform::TransferResult result =
        connection->transport->Send(connection->buffer.get() + connection->done,
                                    static_cast<std::size_t>(connection->remaining));
    if (result.count > 0) {
      const int sent = static_cast<int>(result.count);
      connection->remaining -= sent;
      connection->done += sent;
      continue;
    }
    if (result.want == platform::Want::kNothing || result.error != 0) {
      return TransferFailure(result, NetKind::kSend, "request not sent");
    }
    if (WaitFor(connection, result.want) != 1) {
      connection->timedOut = true;
      return NetStatus::Failure(NetKind::kSend, "request not sent within %d s",
                                connection->phaseSeconds);
    }
  }
  HttpConnectionResetBuffer(connection);
  return NetStatus();
}

NetStatus HttpConnectionReceive(HttpConnection* connection) {
  if (connection->remaining == 0) {
    connection->done = 0;
    connection->remaining = connection->unit;
  }
  HttpConnectionMakeRoom(connection, connection->remaining);
  if (!connection->transport) return NetStatus::Failure(NetKind::kReceive, "not connected");
  const int wanted =
      connection->remaining < connection->unit ? connection->remaining : connection->unit;
  for (;;) {
    const platform::TransferResult result = connection->transport->Receive(
        connection->buffer.get() + connection->used, static_cast<std::size_t>(wanted));
    if (result.count > 0) {
      const int received = static_cast<int>(result.count);
      connection->remaining -= received;
      connection->done += received;
      connection->used += received;
      connection->received = true;
      return NetStatus();
    }
    if (result.closed) {
      connection->peerClosed = true;
      return NetStatus();
    }
    if (result.error != 0 || result.want == platform::Want::kNothing) {
      return TransferFailure(result, NetKind::kReceive,
                             connection->received ? "reply cut off" : "no reply");
    }
    if (WaitFor(connection, result.want) != 1) {
      connection->timedOut = true;
      return NetStatus::Failure(
          NetKind::kReceive,
          connection->received ? "reply not complete within %d s" : "no reply within %d s",
          connection->phaseSeconds);
    }
  }
}

void HttpConnectionAwaitAnswer(HttpConnection* connection) {
  if (connection->transport && !connection->transport->Buffered()) {
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

}  // namespace zcv
