// The whole configuration file read at once: the servers, the time-outs and
// the TLS settings, and every problem found, with no side effect.
#pragma once

#include <string>

#include "config/finding.h"
#include "config/server_set.h"
#include "config/timeouts.h"
#include "config/tls_settings.h"

namespace zcv {

struct ConfigReading {
  ConfigFindings findings;  // in the order of the file's lines
  ServerSetReading servers;
  AttemptTimeouts timeouts;
  TlsSettings tls;
};

// Reads sections [ServerSet] and [TLS] of the INI text (a UTF-8 byte-order
// mark at its start skipped). Findings about no particular line (a missing
// key) stand at their section's header line.
ConfigReading ReadConfigText(const std::string& text);

}  // namespace zcv
