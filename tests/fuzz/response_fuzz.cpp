// Fuzz target: the response parser fed a whole response (head, then the body
// by whatever framing the head announces) as a connection would feed it,
// without sockets. Receives are one I/O unit long but also end at up to
// seven cut points that the input chooses, so a boundary can fall at any
// byte of the head, a chunk line or the body while the count of feeds no
// longer grows with the input (one feed per byte made most of the cost).
//
// Input: byte 0 says whether the peer closes after the bytes (bit 7) and
// how many cuts there are (bits 0-2); each cut is three bytes at the end of
// the input, an offset taken modulo the response's size; the bytes between
// are the response.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "http/limits.h"
#include "tests/http/fed_response.h"

namespace {

constexpr std::size_t kMaxCuts = 7;
constexpr std::size_t kCutBytes = 3;
// The control byte, room for the largest head and body and one receive
// beyond them, and the cuts.
constexpr std::size_t kMaxInput =
    1 + zcv::kMaxHeadBytes + zcv::kMaxBodyBytes + zcv::kIoUnit + kMaxCuts * kCutBytes;

// A complete response's body is its length and one zero byte, or none; it
// never holds more than was received after the head, and unless chunked it
// is exactly those bytes.
bool SoundBody(const zcv::test::FedResponse& fed, std::string_view bytes) {
  const auto& body = fed.response.body;
  const std::size_t length = static_cast<std::size_t>(fed.response.bodyLength);
  if (body.empty()) return length == 0;
  if (body.back() != '\0' || body.size() != length + 1) return false;
  if (length > zcv::kMaxBodyBytes + zcv::kIoUnit || length > fed.taken - fed.bodyStart) {
    return false;
  }
  if (fed.parser.framing == zcv::HttpFraming::kChunked) return true;
  return fed.bodyStart + length == fed.taken &&
         std::memcmp(body.data(), bytes.data() + fed.bodyStart, length) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const bool close = (data[0] & 0x80) != 0;
  const std::size_t cutCount = std::min<std::size_t>(data[0] & kMaxCuts, (size - 1) / kCutBytes);
  const std::size_t responseSize = size - 1 - cutCount * kCutBytes;
  const std::uint8_t* cutBytes = data + 1 + responseSize;
  std::array<std::size_t, kMaxCuts> cuts{};
  for (std::size_t i = 0; i < cutCount; ++i) {
    const std::uint8_t* c = cutBytes + i * kCutBytes;
    const std::size_t offset = c[0] | (c[1] << 8) | (static_cast<std::size_t>(c[2]) << 16);
    const std::size_t cut = responseSize == 0 ? 0 : offset % responseSize;
    // Kept in order as they are read: seven at most.
    std::size_t at = i;
    for (; at > 0 && cuts[at - 1] > cut; --at) cuts[at] = cuts[at - 1];
    cuts[at] = cut;
  }

  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, responseSize);
  const zcv::test::FedResponse fed(bytes, zcv::kIoUnit, close, false, {cuts.data(), cutCount});
  // Once the peer has closed the parser must decide; waiting on would hang.
  if (fed.takenTooMuch || (close && fed.result == zcv::HttpParse::kNeedMore)) __builtin_trap();
  if (fed.result == zcv::HttpParse::kComplete && !SoundBody(fed, bytes)) __builtin_trap();
  return 0;
}
