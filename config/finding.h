// A problem found in the configuration file: the line the log gets for it,
// and whether it makes the server list invalid or is only a warning.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zcv {

struct ConfigFinding {
  std::size_t line;     // of the file, from 1; 0 for the file as a whole
  bool fatal;           // true: the list is invalid; false: a warning
  std::string message;  // the log entry without its time stamp, line end included
  // About the file or a section as a whole (a missing file or key, TLS that
  // cannot be set up) rather than about what one line says.
  bool general = false;
};

using ConfigFindings = std::vector<ConfigFinding>;

bool HasFatal(const ConfigFindings& findings);

// A key or other text of the file as a log line may show it: at most 64
// bytes, control bytes as '?'.
std::string ShownText(const std::string& text);

}  // namespace zcv
