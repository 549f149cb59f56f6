// Fuzz target: reading the server keys from an arbitrary INI text, and
// rewriting them in place.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string number = zcv::platform::ReadIniValue(text, "ServerSet", "ServerNumber", 5);
  const std::string ip = zcv::platform::ReadIniValue(text, "ServerSet", "ServerIP0", 29);
  std::string rewritten;
  const std::vector<zcv::platform::IniValue> values = {{"ServerIP0", "127.0.0.1"},
                                                       {"ServerPort0", number}};
  zcv::platform::ReplaceIniValues(text, "ServerSet", values, &rewritten);
  // A value is never longer than its buffer allows.
  if (ip.size() > 28 || number.size() > 4) std::abort();
  return 0;
}
