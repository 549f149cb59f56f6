// Fuzz target: the response parser fed a whole response (head, then the body
// by whatever framing the head announces) in receive units that the first
// input byte chooses, as a connection would feed it, without sockets.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "http/limits.h"
#include "tests/http/fed_response.h"

namespace {

// Room for the largest head and body together.
constexpr std::size_t kMaxInput = zcv::kMaxHeadBytes + zcv::kMaxBodyBytes + zcv::kIoUnit;
constexpr std::size_t kUnits[] = {1, 2, 7, 64, zcv::kIoUnit};

// A complete response's body is its length and one zero byte, or none.
bool SoundBody(const zcv::HttpResponse& response) {
  const auto& body = response.body;
  if (body.empty()) return response.bodyLength == 0;
  return body.back() == '\0' && body.size() == static_cast<std::size_t>(response.bodyLength) + 1 &&
         response.bodyLength <= zcv::kMaxBodyBytes + zcv::kIoUnit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const std::size_t unit = kUnits[data[0] % (sizeof kUnits / sizeof kUnits[0])];
  const zcv::test::FedResponse fed(
      std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), unit, data[0] & 0x80);
  if (fed.result == zcv::HttpParse::kComplete && !SoundBody(*fed.response)) __builtin_trap();
  return 0;
}
