// A response parser fed exact bytes as a connection would receive them: at
// most one unit at a time, never more than the parser says is due, then
// the peer's close if asked. Shared by the parser tests and the fuzz target.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "http/response.h"
#include "http/response_parser.h"

namespace zcv::test {

struct FedResponse {
  struct Deleter {
    void operator()(HttpResponse* response) const { HttpResponseDestroy(response); }
  };

  HttpResponseParser parser;
  std::unique_ptr<HttpResponse, Deleter> response{HttpResponseCreate()};
  // kNeedMore when the bytes ran out without the peer closing.
  HttpParse result = HttpParse::kNeedMore;
  std::string buffered;  // received and not taken by the parser

  // Feeds until the response is complete or refused, or until the head is
  // complete when `headOnly`.
  FedResponse(std::string_view bytes, std::size_t unit, bool close, bool headOnly = false) {
    std::string_view left;
    result = Feed(bytes, unit, close, headOnly, &parser, response.get(), &left);
    buffered = std::string(left);
  }

  // The same into a parser and response of the caller's; the result, and in
  // `*left` the bytes received and not taken. The received bytes are a
  // window over `bytes`, so feeding copies nothing.
  static HttpParse Feed(std::string_view bytes, std::size_t unit, bool close, bool headOnly,
                        HttpResponseParser* parser, HttpResponse* response,
                        std::string_view* left) {
    std::size_t start = 0;  // of the bytes not taken
    std::size_t end = 0;    // of the bytes received
    bool closed = false;
    for (;;) {
      int taken = 0;
      const HttpParse result = HttpParseResponse(parser, response, bytes.data() + start,
                                                 static_cast<int>(end - start), closed, &taken);
      start += static_cast<std::size_t>(taken);
      *left = bytes.substr(start, end - start);
      if (result == HttpParse::kHeadComplete && !headOnly) continue;
      if (result != HttpParse::kNeedMore) return result;
      if (end == bytes.size()) {
        if (!close || closed) return result;
        closed = true;
        continue;
      }
      std::size_t piece = std::min(unit, bytes.size() - end);
      if (parser->wanted > 0) piece = std::min(piece, static_cast<std::size_t>(parser->wanted));
      end += piece;
    }
  }

  std::string Reason() const { return parser.failureReason == nullptr ? "" : parser.failureReason; }
  std::string Body() const {
    return response->body.empty() ? "<none>"
                                  : std::string(response->body.data(), response->bodyLength);
  }
};

}  // namespace zcv::test
