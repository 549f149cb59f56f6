// The configuration the library is opened on: the checked file's bytes,
// the bound on the calls of one authentication, and the checked bytes of
// the trust anchors it names. The library is handed exactly these bytes,
// never a path to read again.
#pragma once

#include <cstddef>
#include <string>

namespace zcv::pam {

// The bound on the calls of one authentication when the file sets no
// CallTimeout: a login never waits longer on the token servers.
constexpr int kDefaultCallTimeoutSeconds = 30;

struct CallConfig {
  std::string text;  // the file's bytes
  int bound_seconds = kDefaultCallTimeoutSeconds;
  std::string ca_file;  // [TLS] CAFile, an absolute path; empty: the system's bundle
  std::string ca_text;  // the CA file's bytes, as the module checked and read them
};

// Reads the bound and the CA file's name from the configuration's text,
// exactly as the library's reader sees them: its CallTimeout, or 30 seconds
// when it sets none, and [TLS] CAFile. Returns an empty text, or the reason
// the module refuses the file: CallTimeout present but not a whole number
// of seconds from 1 to 600, or CAFile given twice or not an absolute path
// (the library refuses those too, or would read a file nobody checked).
std::string ReadCallConfig(std::string text, CallConfig* out);

}  // namespace zcv::pam
