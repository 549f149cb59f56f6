// The configuration the library is opened on: the checked file's bytes,
// with the bound on the calls written into them, and the trust anchors it
// names.
#pragma once

#include <cstddef>
#include <string>

namespace zcv::pam {

// The bound on the calls of one authentication when the file sets no
// CallTimeout: a login never waits longer on the token servers.
constexpr int kDefaultCallTimeoutSeconds = 30;

struct CallConfig {
  std::string text;             // the file's bytes
  std::size_t header_line = 0;  // of [ServerSet], counted from 1; 0: no such section
  bool has_call_timeout = false;
  int bound_seconds = kDefaultCallTimeoutSeconds;
  std::string ca_file;  // [TLS] CAFile, an absolute path; empty: the system's bundle
};

// Reads the bound and the CA file's name from the configuration's text,
// exactly as the library's reader sees them: its CallTimeout, or 30 seconds
// when it sets none, and [TLS] CAFile. Returns an empty text, or the reason
// the module refuses the file: CallTimeout present but not a whole number
// of seconds from 1 to 600, or CAFile given twice or not an absolute path
// (the library refuses those too, or would read a file nobody checked).
std::string ReadCallConfig(std::string text, CallConfig* out);

// The text with CallTimeout set to `seconds` in [ServerSet]: the file's own
// value replaced in place, or, when it has none, a line added right after
// the section's header. Every other byte stays as it was. Without a
// [ServerSet] section the text is returned as it is (the library then
// refuses it).
std::string WithCallTimeout(const CallConfig& config, int seconds);

}  // namespace zcv::pam
