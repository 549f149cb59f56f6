// The configuration the library is opened on: the checked file's bytes,
// with the bound on the calls written into them.
#pragma once

#include <cstddef>
#include <string>

namespace zcv::pam {

// The bound on the calls of one authentication when the file sets no
// CallTimeout: a login never waits longer on the token servers.
constexpr int kDefaultCallTimeoutSeconds = 30;

struct CallConfig {
  std::string text;                           // the file's bytes
  std::size_t insert_at = std::string::npos;  // start of [ServerSet]'s body; npos: no such section
  int bound_seconds = kDefaultCallTimeoutSeconds;
};

// Reads the bound from the configuration's text: its CallTimeout, or 30
// seconds when it sets none. False when CallTimeout is present but not a
// whole number of seconds from 1 to 600 (the library refuses it too).
bool ReadCallConfig(std::string text, CallConfig* out);

// The text with "CallTimeout=<seconds>" as the first line of [ServerSet].
// The library reads the first of repeated keys, so this line is the one in
// force. Without a [ServerSet] section the text is returned as it is (the
// library then refuses it).
std::string WithCallTimeout(const CallConfig& config, int seconds);

}  // namespace zcv::pam
