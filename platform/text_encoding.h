// Conversion of the library's GBK texts (the configuration messages, as the
// log file keeps them) into UTF-8 for the places a person reads them.
#pragma once

#include <string>
#include <string_view>

namespace zcv::platform {

// `gbk` (code page 936) as UTF-8. ASCII passes unchanged; a byte sequence
// that is not GBK, and a lead byte cut off at the end, each become U+FFFD,
// so the result is always valid UTF-8.
std::string GbkToUtf8(std::string_view gbk);

}  // namespace zcv::platform
