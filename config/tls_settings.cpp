// Reading the [TLS] section. Every value is checked whether or not TLS is
// enabled, so a mistyped entry is reported at load rather than the day TLS
// is switched on; never does a bad entry fall back to plain HTTP.
#include "config/tls_settings.h"

#include <cstring>
#include <optional>

#include "platform/ini_file.h"

namespace zcv {
namespace {

constexpr char kSection[] = "TLS";
constexpr std::size_t kFlagBytes = 16;
constexpr std::size_t kPathBytes = 1024;
// Room for the pins of every server of a full list, and some to spare.
constexpr std::size_t kPinListBytes = 4096;
constexpr char kBlanks[] = " \t";

std::string Read(const std::string& text, const char* key, std::size_t bytes) {
  return platform::ReadIniValue(text, kSection, key, bytes);
}

int Base64Value(char c) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const char* at = c != '\0' ? std::strchr(kAlphabet, c) : nullptr;
  return at != nullptr ? static_cast<int>(at - kAlphabet) : -1;
}

// A pin is the standard base64 of 32 bytes: 43 digits and one "=".
std::optional<platform::KeyPin> DecodePin(const std::string& text) {
  platform::KeyPin pin{};
  constexpr std::size_t kDigits = 43;
  if (text.size() != kDigits + 1 || text.back() != '=') return std::nullopt;
  unsigned bits = 0;
  int held = 0;
  std::size_t out = 0;
  for (std::size_t i = 0; i < kDigits; ++i) {
    const int value = Base64Value(text[i]);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<unsigned>(value);
    held += 6;
    if (held >= 8) {
      held -= 8;
      pin[out++] = static_cast<unsigned char>(bits >> held);
    }
  }
  // The two bits left over must be zero, as every encoder writes them.
  if ((bits & ((1u << held) - 1)) != 0) return std::nullopt;
  return pin;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Comma-separated pins; an empty list means none.
bool ReadPins(const std::string& list, std::vector<platform::KeyPin>* pins) {
  if (Trim(list).empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    const std::optional<platform::KeyPin> pin = DecodePin(Trim(list.substr(start, comma - start)));
    if (!pin) return false;
    pins->push_back(*pin);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool Refuse(LogFile& log, const char* key, const char* why) {
  const std::string line = std::string("[TLS] ") + key + ": " + why + "\n";
  log.WriteLog(line.c_str());
  return false;
}

}  // namespace

bool ReadTlsSettings(const std::string& iniText, LogFile& log,
                     std::unique_ptr<platform::TlsContext>* context) {
  const std::string enabled = Read(iniText, "Enabled", kFlagBytes);
  if (!enabled.empty() && enabled != "0" && enabled != "1") {
    return Refuse(log, "Enabled", "unknown value (0 or 1)");
  }
  platform::TlsOptions options;
  const std::string version = Read(iniText, "MinVersion", kFlagBytes);
  if (version == "1.3") {
    options.minVersion = platform::TlsVersion::k1_3;
  } else if (!version.empty() && version != "1.2") {
    return Refuse(log, "MinVersion", "unknown value (1.2 or 1.3)");
  }
  if (!ReadPins(Read(iniText, "PinSHA256", kPinListBytes), &options.pins)) {
    return Refuse(log, "PinSHA256", "malformed pin (base64 of a SHA-256 hash)");
  }
  options.caFile = Read(iniText, "CAFile", kPathBytes);
  if (enabled != "1") return true;
  platform::TlsRefusal refusal;
  *context = platform::MakeTlsContext(options, &refusal);
  if (*context == nullptr) return Refuse(log, refusal.key, refusal.reason);
  return true;
}

}  // namespace zcv
