// Finds [ServerSet] and its CallTimeout, and [TLS] CAFile, with the
// library's own INI reader, so the module bounds the calls by the value the
// library would use and checks the trust anchors the library would load.
#include "pam/call_config.h"

#include "platform/ini_file.h"

namespace zcv::pam {
namespace {

constexpr char kSection[] = "ServerSet";
constexpr char kKey[] = "CallTimeout";
constexpr char kTlsSection[] = "TLS";
constexpr char kCaKey[] = "CAFile";
// The library's limits on its time-out keys, and its value buffer.
constexpr int kMinSeconds = 1;
constexpr int kMaxSeconds = 600;
constexpr std::size_t kValueReadBytes = 32;

// Whole seconds from 1 to 600 written in decimal digits only; 0 otherwise.
int ParseSeconds(const std::string& value) {
  if (value.empty() || value.size() >= kValueReadBytes - 1) return 0;
  int seconds = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return 0;
    seconds = seconds * 10 + (c - '0');
    if (seconds > kMaxSeconds) return 0;
  }
  return seconds >= kMinSeconds ? seconds : 0;
}

}  // namespace

std::string ReadCallConfig(std::string text, CallConfig* out) {
  out->bound_seconds = kDefaultCallTimeoutSeconds;
  if (platform::HasIniKey(text, kSection, kKey)) {
    out->bound_seconds =
        ParseSeconds(platform::ReadIniValue(text, kSection, kKey, kValueReadBytes));
    if (out->bound_seconds == 0) return "CallTimeout must be whole seconds from 1 to 600";
  }
  out->ca_file.clear();
  bool ca_given = false;
  for (const platform::IniEntry& entry : platform::ReadIniSection(text, kTlsSection).entries) {
    if (!platform::SameIniName(entry.key, kCaKey)) continue;
    if (ca_given) return "[TLS] CAFile is given twice";
    ca_given = true;
    if (!entry.value.empty() && entry.value.front() != '/') {
      return "[TLS] CAFile must be an absolute path";
    }
    out->ca_file = entry.value;
  }
  out->text = std::move(text);
  return std::string();
}

}  // namespace zcv::pam
