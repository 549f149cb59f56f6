// Reading the servers of section [ServerSet]: ServerNumber, AddressFamily,
// then ServerIP<i> and ServerPort<i> for each server, every value checked.
#pragma once

#include <string>

#include "config/finding.h"
#include "config/server_entry.h"
#include "platform/ini_file.h"
#include "platform/resolver.h"

namespace zcv {

struct ServerSetReading {
  std::string number;  // ServerNumber, whole, as read
  int count = 0;       // from its first 4 characters, at most 10
  ServerEntry servers[kMaxServers];
  platform::AddressFamily family = platform::AddressFamily::kAny;  // AddressFamily
  int keepAlive = 0;  // KeepAlive: idle seconds a connection is kept; 0 none
};

// Reads the servers into *out and adds a finding for each problem:
// fatal for a missing ServerNumber, a missing, over-long or malformed
// ServerIP<i>, an AddressFamily other than any, ipv4 or ipv6, a KeepAlive
// other than 0 to 300 in decimal digits, an address
// of the family AddressFamily excludes, and a missing or malformed
// ServerPort<i>; a warning for a
// ServerNumber that gives no server (the list stays valid and empty), for a
// key the library does not know, a key given again and a second [ServerSet]
// section (none of which is ever read). Slots are filled up to the first
// fatal problem of an entry.
void ReadServerSet(const platform::IniSection& section, ServerSetReading* out,
                   ConfigFindings* findings);

}  // namespace zcv
