// Numbers in reply texts, read the way the service's clients always have,
// except that a value too large for its 32-bit field makes the reply
// unreadable instead of wrapping into another value.
#pragma once

#include <string>

namespace zcv {

// Leading white space skipped, an optional sign, then decimal digits up to
// the first other character; 0 without digits. Raises ReplyError when the
// value lies outside the signed 32-bit range.
int ParseReplyNumber(const std::string& text);

// The same for a result code, an unsigned 32-bit field: a negative number is
// stored as its two's complement. Raises ReplyError outside -2^31 to 2^32-1.
unsigned ParseReplyCode(const std::string& text);

}  // namespace zcv
