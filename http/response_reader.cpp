// The receive loop around the response parser. It owns every wait (the
// connection's receive steps end at the response's deadline) and moves bytes
// only to make room for a head or chunk-size line still incomplete.
#include "http/response_reader.h"

#include <cstring>

#include "http/response_parser.h"

namespace zcv {
namespace {

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

// Feeds the buffered bytes to the parser and receives more while it needs
// them; the parser's result.
HttpParse Pump(HttpResponse* response, HttpConnection* connection) {
  HttpResponseParser& parser = connection->parser;
  for (;;) {
    int taken = 0;
    const HttpParse result =
        HttpParseResponse(&parser, response, connection->buffer.get() + connection->parsed,
                          connection->used - connection->parsed, connection->peerClosed, &taken);
    connection->parsed += taken;
    if (connection->parsed == connection->used) DropParsed(connection);
    if (result != HttpParse::kNeedMore) {
      if (parser.failureReason != nullptr) connection->failureReason = parser.failureReason;
      return result;
    }
    DropParsed(connection);
    // A parser that still needs bytes after the peer closed would wait for ever.
    if (connection->peerClosed) return HttpParse::kFailed;
    if (parser.wanted > 0) {
      // No more than is due, so bytes behind the response stay unread.
      connection->remaining = parser.wanted < connection->unit ? parser.wanted : connection->unit;
      connection->done = 0;
    }
    if (HttpConnectionReceive(connection) == -1) {
      const char* reason = HttpParserReceiveFailure(parser);
      if (reason != nullptr) connection->failureReason = reason;
      return HttpParse::kFailed;
    }
  }
}

}  // namespace

int HttpReadResponseHead(HttpResponse* response, HttpConnection* connection) {
  // Nothing of the answer is here yet: the server has only just been asked.
  if (connection->used == 0) HttpConnectionAwaitAnswer(connection);
  return Pump(response, connection) == HttpParse::kHeadComplete ? 2 : -1;
}

int HttpReadResponseBody(HttpResponse* response, HttpConnection* connection) {
  const HttpParse result = Pump(response, connection);
  const HttpResponseParser& parser = connection->parser;
  const bool untilClosed = parser.framing == HttpFraming::kUntilClose;
  connection->replyComplete = result == HttpParse::kComplete;
  if ((untilClosed && result == HttpParse::kComplete) || parser.closeAfterBody) {
    HttpConnectionClose(connection);
  }
  return result == HttpParse::kComplete ? 2 : -1;
}

}  // namespace zcv
