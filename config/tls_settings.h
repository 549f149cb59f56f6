// The optional [TLS] section of the configuration file: whether the servers
// are reached over TLS, whom to trust, the oldest version offered and the
// server keys pinned.
#pragma once

#include <memory>
#include <string>

#include "log/log_file.h"
#include "platform/tls.h"

namespace zcv {

// Reads [TLS] from the INI text. With Enabled=1, *context receives the
// process's TLS context; with the section absent or Enabled=0 it stays
// empty and the servers are reached over plain HTTP. Any invalid entry
// gives false after one log line that names the key.
bool ReadTlsSettings(const std::string& iniText, LogFile& log,
                     std::unique_ptr<platform::TlsContext>* context);

}  // namespace zcv
