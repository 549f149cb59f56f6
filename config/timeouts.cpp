// The optional time-out keys: strict whole seconds, never a silent default
// for a value that was given but cannot be used.
#include "config/timeouts.h"

#include <algorithm>
#include <cstdio>

namespace zcv {
namespace {

// Wide enough for any sensible value with leading zeros; anything longer
// is refused rather than read as a different number.
constexpr std::size_t kMaxValueChars = 30;
constexpr std::size_t kMessageBytes = 128;

// "读%s参数配置文件错误，须为1至600的整数秒\n" as GBK bytes.
constexpr char kInvalidTemplate[] =
    "\xb6\xc1%s\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3"
    "\xa3\xac\xd0\xeb\xce\xaa"
    "1\xd6\xc1"
    "600\xb5\xc4\xd5\xfb\xca\xfd\xc3\xeb\n";

struct Key {
  const char* name;
  int AttemptTimeouts::*field;
};

constexpr Key kKeys[] = {
    {"ConnectTimeout", &AttemptTimeouts::connect},
    {"SendTimeout", &AttemptTimeouts::send},
    {"ReceiveTimeout", &AttemptTimeouts::receive},
    {"CallTimeout", &AttemptTimeouts::call},
};

// The seconds of a value made of decimal digits only, within the range;
// 0 for anything else.
int ParseSeconds(const std::string& value) {
  if (value.empty() || value.size() > kMaxValueChars) return 0;
  int seconds = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return 0;
    seconds = seconds * 10 + (c - '0');
    if (seconds > kMaxTimeoutSeconds) return 0;
  }
  return seconds >= kMinTimeoutSeconds ? seconds : 0;
}

}  // namespace

void ApplyTimeoutOverrides(const TimeoutOverrides& overrides, AttemptTimeouts* timeouts) {
  if (overrides.connect != 0) timeouts->connect = overrides.connect;
  if (overrides.send != 0) timeouts->send = overrides.send;
  if (overrides.receive != 0) timeouts->receive = overrides.receive;
  if (overrides.call != 0) timeouts->call = overrides.call;
}

void ReadTimeouts(const platform::IniSection& section, AttemptTimeouts* out,
                  ConfigFindings* findings) {
  for (const Key& key : kKeys) {
    // The first entry of the key is the one a profile reader gives.
    const auto entry = std::find_if(
        section.entries.begin(), section.entries.end(),
        [&key](const platform::IniEntry& e) { return platform::SameIniName(e.key, key.name); });
    if (entry == section.entries.end()) continue;
    const int seconds = ParseSeconds(entry->value);
    if (seconds == 0) {
      char message[kMessageBytes] = {};
      std::snprintf(message, sizeof message, kInvalidTemplate, key.name);
      findings->push_back({entry->line, true, message});
      continue;
    }
    out->*key.field = seconds;
  }
}

}  // namespace zcv
