// zcvctl check: what a configuration file holds and whether this host can
// reach and verify each of its servers, without sending any request.
#pragma once

#include <ostream>
#include <string>

namespace zcv::ctl {

// Reads the file and reports every problem found in it; then, for each
// server in order, the name lookup, the TCP connect and, with TLS on, the
// handshake (verified name, days until the certificate expires, whether a
// key pin matched), each with its time. Returns the exit status: 0 every
// server reached (and verified), 1 some not, 2 the file was refused.
int RunCheck(const std::string& configPath, bool json, std::ostream& out);

}  // namespace zcv::ctl
