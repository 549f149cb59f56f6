// The optional [TLS] section of the configuration file: whether the servers
// are reached over TLS, whom to trust, the oldest version offered and the
// server keys pinned.
#pragma once

#include <memory>

#include "config/finding.h"
#include "platform/ini_file.h"
#include "platform/tls.h"

namespace zcv {

struct TlsSettings {
  bool enabled = false;  // the section is absent, or Enabled=0
  platform::TlsOptions options;
};

// Reads [TLS]. Without the section the servers are reached over plain HTTP.
// Every entry is checked whether or not TLS is enabled; a fatal finding that
// names the key or line is added for a missing Enabled, an unknown value, a
// key the section does not know or gives twice, a value too long to be read
// whole, a line that is not key=value, and a second [TLS] section.
void ReadTlsSettings(const platform::IniSection& section, TlsSettings* out,
                     ConfigFindings* findings);

// The process's TLS context for enabled settings; nullptr after a fatal
// finding that says why it cannot be built (trust anchors or otherwise).
std::unique_ptr<platform::TlsContext> MakeConfiguredTlsContext(const TlsSettings& settings,
                                                               ConfigFindings* findings);

}  // namespace zcv
