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
    std::size_t sent = 0;
    bool closed = false;
    for (;;) {
      int taken = 0;
      result = HttpParseResponse(&parser, response.get(), buffered.data(),
                                 static_cast<int>(buffered.size()), closed, &taken);
      buffered.erase(0, static_cast<std::size_t>(taken));
      if (result == HttpParse::kHeadComplete && !headOnly) continue;
      if (result != HttpParse::kNeedMore) return;
      if (sent == bytes.size()) {
        if (!close || closed) return;
        closed = true;
        continue;
      }
      std::size_t piece = std::min(unit, bytes.size() - sent);
      if (parser.wanted > 0) piece = std::min(piece, static_cast<std::size_t>(parser.wanted));
      buffered.append(bytes.substr(sent, piece));
      sent += piece;
    }
  }

  std::string Reason() const { return parser.failureReason == nullptr ? "" : parser.failureReason; }
  std::string Body() const {
    return response->body.empty() ? "<none>"
                                  : std::string(response->body.data(), response->bodyLength);
  }
};

}  // namespace zcv::test
