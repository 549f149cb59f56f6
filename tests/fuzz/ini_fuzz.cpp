// Fuzz target: the whole configuration reader ([ServerSet] and [TLS]) over
// an arbitrary INI text, and the in-place rewrite of the server keys.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/config_reader.h"
#include "config/server_address.h"
#include "platform/ini_file.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

// A list read without a fatal finding holds only servers a call may dial.
void CheckServers(const zcv::ConfigReading& reading) {
  Check(reading.servers.count <= zcv::kMaxServers);
  if (zcv::HasFatal(reading.findings)) return;
  for (int i = 0; i < reading.servers.count; ++i) {
    const zcv::ServerEntry& entry = reading.servers.servers[i];
    Check(std::memchr(entry.ip, '\0', sizeof entry.ip) != nullptr);
    Check(std::memchr(entry.port, '\0', sizeof entry.port) != nullptr);
    Check(zcv::IsServerAddress(entry.ip) && std::strlen(entry.ip) <= 28);
    Check(zcv::IsServerPort(entry.port));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const zcv::ConfigReading reading = zcv::ReadConfigText(text);
  Check(std::is_sorted(
      reading.findings.begin(), reading.findings.end(),
      [](const zcv::ConfigFinding& a, const zcv::ConfigFinding& b) { return a.line < b.line; }));
  for (const zcv::ConfigFinding& finding : reading.findings) Check(!finding.message.empty());
  CheckServers(reading);

  // The section scan and the key reader agree: a key reads as its first
  // entry (the first few keys, each a scan of the whole text).
  const zcv::platform::IniSection section = zcv::platform::ReadIniSection(text, "ServerSet");
  const std::size_t checked = std::min<std::size_t>(section.entries.size(), 8);
  for (std::size_t i = 0; i < checked; ++i) {
    const auto& key = section.entries[i].key;
    const auto first =
        std::find_if(section.entries.begin(), section.entries.end(),
                     [&key](const auto& e) { return zcv::platform::SameIniName(e.key, key); });
    Check(zcv::platform::ReadIniValue(text, "ServerSet", key, text.size() + 1) == first->value);
  }

  const std::string number = zcv::platform::ReadIniValue(text, "ServerSet", "ServerNumber", 5);
  const std::string ip = zcv::platform::ReadIniValue(text, "ServerSet", "ServerIP0", 29);
  std::string rewritten;
  const std::vector<zcv::platform::IniValue> values = {{"ServerIP0", "127.0.0.1"},
                                                       {"ServerPort0", number}};
  if (zcv::platform::ReplaceIniValues(text, "ServerSet", values, &rewritten)) {
    // What was written reads back.
    Check(zcv::platform::ReadIniValue(rewritten, "ServerSet", "ServerIP0", 29) == "127.0.0.1");
    Check(zcv::platform::ReadIniValue(rewritten, "ServerSet", "ServerPort0", 5) == number);
  }
  // A value is never longer than its buffer allows.
  Check(ip.size() <= 28 && number.size() <= 4);
  return 0;
}
