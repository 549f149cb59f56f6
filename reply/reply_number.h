// Numbers in reply texts, read the way the service's clients always have.
#pragma once

#include <string>

namespace zcv {

// Leading white space skipped, an optional sign, then decimal digits up to
// the first other character; 0 without digits. Out-of-range values wrap as
// 32-bit two's complement instead of being clamped.
int ParseReplyNumber(const std::string& text);

}  // namespace zcv
