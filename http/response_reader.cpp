// The receive loop around the response parser. It owns every wait (the
// connection's receive steps end at the response's deadline), moves bytes
// only to make room for a head or chunk-size line still incomplete, and
// words the parser's refusals for the attempt's log line.
#include "http/response_reader.h"

#include <cstring>

#include "http/response_parser.h"

namespace zcv {
namespace {

using platform::NetKind;
using platform::NetStatus;

// Moves the bytes the parser has not taken to the front of the buffer.
void DropParsed(HttpConnection* connection) {
  const int left = connection->used - connection->parsed;
  if (left > 0 && connection->parsed > 0) {
    std::memmove(connection->buffer.get(), connection->buffer.get() + connection->parsed,
                 static_cast<std::size_t>(left));
  }
  connection->used = left;
  connection->parsed = 0;
}

// The parser's refusals that have words of their own in the log.
struct Wording {
  const char* parserReason;
  NetKind kind;
  const char* reason;
};
constexpr Wording kWordings[] = {
    {"Http response headers too large", NetKind::kProtocol, "reply head larger than 64 KiB"},
    {"Http response body too large", NetKind::kProtocol, "reply body larger than 1 MiB"},
    {"Short read while reading http response headers", NetKind::kReceive,
     "connection closed before the reply head ended"},
};

NetStatus ParseFailure(const HttpConnection& connection) {
  const char* reason = connection.parser.failureReason;
  if (reason == nullptr) {
    return connection.peerClosed
               ? NetStatus::Failure(NetKind::kReceive, "connection closed before the reply ended")
               : NetStatus::Failure(NetKind::kProtocol, "malformed reply (chunk size line)");
  }
  for (const Wording& wording : kWordings) {
    if (std::strcmp(wording.parserReason, reason) == 0) {
      return NetStatus::Failure(wording.kind, "%s", wording.reason);
    }
  }
  return NetStatus::Failure(NetKind::kProtocol, "malformed reply (%s)", reason);
}

// Feeds the buffered bytes to the parser and receives more while it needs
// them, until it gives `goal` or the response is complete.
NetStatus Pump(HttpResponse* response, HttpConnection* connection, HttpParse goal) {
  HttpResponseParser& parser = connection->parser;
  for (;;) {
    int taken = 0;
    const HttpParse result =
        HttpParseResponse(&parser, response, connection->buffer.get() + connection->parsed,
                          connection->used - connection->parsed, connection->peerClosed, &taken);
    connection->parsed += taken;
    if (connection->parsed == connection->used) DropParsed(connection);
    if (result == goal || result == HttpParse::kComplete) return NetStatus();
    if (result == HttpParse::kFailed) return ParseFailure(*connection);
    if (result != HttpParse::kNeedMore) {
      return NetStatus::Failure(NetKind::kProtocol, "malformed reply (unexpected end)");
    }
    DropParsed(connection);
    // A parser that still needs bytes after the peer closed would wait for ever.
    if (connection->peerClosed) {
      return NetStatus::Failure(NetKind::kReceive, "connection closed before the reply ended");
    }
    if (parser.wanted > 0) {
      // No more than is due, so bytes behind the response stay unread.
      connection->remaining = parser.wanted < connection->unit ? parser.wanted : connection->unit;
      connection->done = 0;
    }
    NetStatus received = HttpConnectionReceive(connection);
    if (!received.ok()) return received;
  }
}

}  // namespace

NetStatus HttpReadResponseHead(HttpResponse* response, HttpConnection* connection) {
  // Nothing of the answer is here yet: the server has only just been asked.
  if (connection->used == 0) HttpConnectionAwaitAnswer(connection);
  return Pump(response, connection, HttpParse::kHeadComplete);
}

NetStatus HttpReadResponseBody(HttpResponse* response, HttpConnection* connection) {
  NetStatus status = Pump(response, connection, HttpParse::kComplete);
  const HttpResponseParser& parser = connection->parser;
  const bool untilClosed = parser.framing == HttpFraming::kUntilClose;
  connection->replyComplete = status.ok();
  if ((untilClosed && status.ok()) || parser.closeAfterBody) HttpConnectionClose(connection);
  return status;
}

}  // namespace zcv
