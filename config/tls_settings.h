// The optional [TLS] section of the configuration file: whether the servers
// are reached over TLS, whom to trust, the oldest version offered and the
// server keys pinned.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "config/finding.h"
#include "platform/ini_file.h"
#include "platform/tls.h"

namespace zcv {

struct TlsSettings {
  bool enabled = false;          // the section is absent, or Enabled=0
  std::string caFile;            // CAFile as given; empty: none
  platform::TlsOptions options;  // without the trust anchors, read only when built
};

// Reads [TLS]. Without the section the servers are reached over plain HTTP.
// Every entry is checked whether or not TLS is enabled; a fatal finding that
// names the key or line is added for a missing Enabled, an unknown value, a
// key the section does not know or gives twice, a value too long to be read
// whole, a line that is not key=value, and a second [TLS] section; and for a
// CAFile that is a relative path, which would name a file of whatever
// directory the host happens to work in.
void ReadTlsSettings(const platform::IniSection& section, TlsSettings* out,
                     ConfigFindings* findings);

// The client's TLS context for enabled settings, trusting `hostCaPem` when
// given, else the CAFile (read whole now: a regular file of at most
// platform::kMaxReadFileBytes), else the distribution's bundle; nullptr after
// a fatal finding that says why it cannot be built.
std::unique_ptr<platform::TlsContext> MakeConfiguredTlsContext(
    const TlsSettings& settings, const std::optional<std::string>& hostCaPem,
    ConfigFindings* findings);

}  // namespace zcv
