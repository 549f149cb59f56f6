// Fuzz target: the URI scanner on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/uri.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  zcv::HttpUri uri;
  zcv::HttpUriParse(text.c_str(), &uri);
  return 0;
}
