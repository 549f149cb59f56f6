// Reading the [TLS] section. Every value is checked whether or not TLS is
// enabled, so a mistyped entry is reported at load rather than the day TLS
// is switched on; the section is read whole, so no key that would change
// what is trusted or sent can be mistyped, repeated or cut unnoticed, and
// never does a bad entry fall back to plain HTTP.
#include "config/tls_settings.h"

#include <cstring>
#include <optional>
#include <string>

#include "platform/file.h"

namespace zcv {
namespace {

constexpr char kEnabled[] = "Enabled";
constexpr char kCAFile[] = "CAFile";
constexpr char kPinSHA256[] = "PinSHA256";
constexpr char kMinVersion[] = "MinVersion";
constexpr char kBlanks[] = " \t";

// The keys of the section and the longest value each reads whole.
struct Key {
  const char* name;
  std::size_t maxChars;
};

constexpr Key kKeys[] = {
    {kEnabled, 15},
    {kCAFile, 1023},
    // Room for the pins of every server of a full list, and some to spare.
    {kPinSHA256, 4095},
    {kMinVersion, 15},
};

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

void Refuse(ConfigFindings* findings, std::size_t line, const std::string& subject,
            const std::string& why, bool general = false) {
  findings->push_back({line, true, "[TLS] " + subject + ": " + why + "\n", general});
}

const char* ReadFaultText(platform::ReadFault fault) {
  switch (fault) {
    case platform::ReadFault::kNotRegular:
      return "not a regular file";
    case platform::ReadFault::kTooLarge:
      return "larger than 1048576 bytes";
    default:
      return "cannot be read";
  }
}

std::string LineSubject(std::size_t line) { return "line " + std::to_string(line); }

constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

// The index of the key in kKeys, or kKeyCount for an unknown one.
std::size_t IndexOf(const std::string& name) {
  std::size_t index = 0;
  while (index < kKeyCount && !platform::SameIniName(name, kKeys[index].name)) ++index;
  return index;
}

// The section's entries by key, each read whole and given once; a key with
// a problem of the section's shape is refused and left out.
struct Values {
  const platform::IniEntry* entries[kKeyCount] = {};
  bool refused[kKeyCount] = {};
  const platform::IniEntry* Get(const char* name) const { return entries[IndexOf(name)]; }
};

Values CheckShape(const platform::IniSection& section, ConfigFindings* findings) {
  Values values;
  for (const platform::IniEntry& entry : section.entries) {
    const std::size_t index = IndexOf(entry.key);
    if (index == kKeyCount) {
      Refuse(findings, entry.line, ShownText(entry.key), "unknown key");
      continue;
    }
    const Key& key = kKeys[index];
    if (values.entries[index] != nullptr || values.refused[index]) {
      Refuse(findings, entry.line, key.name, "given again on " + LineSubject(entry.line));
      values.entries[index] = nullptr;
      values.refused[index] = true;
    } else if (entry.value.size() > key.maxChars) {
      Refuse(findings, entry.line, key.name,
             "longer than " + std::to_string(key.maxChars) + " characters");
      values.refused[index] = true;
    } else {
      values.entries[index] = &entry;
    }
  }
  for (std::size_t line : section.otherLines) {
    Refuse(findings, line, LineSubject(line), "not a key=value line");
  }
  for (std::size_t line : section.laterHeaders) {
    Refuse(findings, line, LineSubject(line), "a second [TLS] section");
  }
  if (values.Get(kEnabled) == nullptr && !values.refused[IndexOf(kEnabled)]) {
    Refuse(findings, section.line, kEnabled, "missing (0 or 1)", true);
  }
  return values;
}

}  // namespace

void ReadTlsSettings(const platform::IniSection& section, TlsSettings* out,
                     ConfigFindings* findings) {
  if (section.line == 0) return;
  const Values values = CheckShape(section, findings);
  if (const platform::IniEntry* enabled = values.Get(kEnabled)) {
    if (enabled->value != "0" && enabled->value != "1") {
      Refuse(findings, enabled->line, kEnabled, "unknown value (0 or 1)");
    }
    out->enabled = enabled->value == "1";
  }
  if (const platform::IniEntry* version = values.Get(kMinVersion)) {
    if (version->value == "1.3") {
      out->options.minVersion = platform::TlsVersion::k1_3;
    } else if (!version->value.empty() && version->value != "1.2") {
      Refuse(findings, version->line, kMinVersion, "unknown value (1.2 or 1.3)");
    }
  }
  if (const platform::IniEntry* pins = values.Get(kPinSHA256)) {
    if (!ReadPins(pins->value, &out->options.pins)) {
      Refuse(findings, pins->line, kPinSHA256, "malformed pin (base64 of a SHA-256 hash)");
    }
  }
  if (const platform::IniEntry* caFile = values.Get(kCAFile)) {
    if (!caFile->value.empty() && !platform::IsAbsolutePath(caFile->value)) {
      Refuse(findings, caFile->line, kCAFile, "a relative path (give the full path)");
    }
    out->caFile = caFile->value;
  }
}

std::unique_ptr<platform::TlsContext> MakeConfiguredTlsContext(
    const TlsSettings& settings, const std::optional<std::string>& hostCaPem,
    ConfigFindings* findings) {
  platform::TlsOptions options = settings.options;
  if (hostCaPem) {
    options.caPem = hostCaPem;
  } else if (!settings.caFile.empty()) {
    std::string pem;
    const platform::ReadFault fault =
        platform::ReadBoundedFile(settings.caFile, platform::kMaxReadFileBytes, &pem);
    if (fault != platform::ReadFault::kNone) {
      Refuse(findings, 0, kCAFile, ReadFaultText(fault), true);
      return nullptr;
    }
    options.caPem = std::move(pem);
  }
  platform::TlsRefusal refusal;
  std::unique_ptr<platform::TlsContext> context = platform::MakeTlsContext(options, &refusal);
  if (context != nullptr) return context;
  const std::string why = refusal.reason != nullptr ? refusal.reason : "cannot make a TLS context";
  const char* key = refusal.key != nullptr ? refusal.key : kEnabled;
  if (std::strcmp(key, kCAFile) == 0 && hostCaPem) {
    Refuse(findings, 0, kEnabled, "the certificates the host gave " + why, true);
  } else if (std::strcmp(key, kCAFile) == 0 && !options.caPem) {
    // Trust that cannot be read without a CAFile is the system's own.
    Refuse(findings, 0, kEnabled, "the system's trust store " + why, true);
  } else {
    Refuse(findings, 0, key, why, true);
  }
  return nullptr;
}

}  // namespace zcv
