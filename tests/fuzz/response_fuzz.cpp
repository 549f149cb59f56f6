// Fuzz target: a whole response (head, then body by whatever framing the head
// announces) read from a local socket, as the request reads it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/limits.h"
#include "http/response_reader.h"
#include "http/response_reader.h"
#include "tests/http/fed_response.h"

namespace {
// What a local socket pair takes without blocking the writer.
constexpr std::size_t kMaxInput = 32 * 1024;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return 0;
  zcv::test::FedResponse fed(std::string(reinterpret_cast<const char*>(data), size),
                             zcv::kIoUnit, true);
  if (zcv::HttpReadResponseHead(fed.response.get(), fed.connection.get()) == 2) {
    zcv::HttpReadResponseBody(fed.response.get(), fed.connection.get());
  }
  return 0;
}
