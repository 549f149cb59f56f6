// Helpers of the configuration findings.
#include "config/finding.h"

#include <algorithm>

namespace zcv {
namespace {

constexpr std::size_t kMaxShownBytes = 64;

}  // namespace

bool HasFatal(const ConfigFindings& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const ConfigFinding& finding) { return finding.fatal; });
}

std::string ShownText(const std::string& text) {
  std::string shown = text.substr(0, kMaxShownBytes);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return shown;
}

}  // namespace zcv
