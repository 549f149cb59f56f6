// Reading the configuration text: each section's reader adds its findings,
// which are then put in the order of the file's lines.
#include "config/config_reader.h"

#include <algorithm>

#include "platform/ini_file.h"

namespace zcv {

ConfigReading ReadConfigText(const std::string& text) {
  ConfigReading reading;
  const platform::IniSection serverSet = platform::ReadIniSection(text, "ServerSet");
  ReadServerSet(serverSet, &reading.servers, &reading.findings);
  ReadTimeouts(serverSet, &reading.timeouts, &reading.findings);
  ReadTlsSettings(platform::ReadIniSection(text, "TLS"), &reading.tls, &reading.findings);
  std::stable_sort(reading.findings.begin(), reading.findings.end(),
                   [](const ConfigFinding& a, const ConfigFinding& b) { return a.line < b.line; });
  return reading;
}

}  // namespace zcv
