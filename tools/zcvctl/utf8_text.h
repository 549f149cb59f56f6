// Text that a person reads from zcvctl is UTF-8 whatever bytes it came from:
// the library's configuration messages are GBK, the service's outputs and
// the paths given are bytes of unknown encoding.
#pragma once

#include <string>
#include <string_view>

namespace zcv::ctl {

// `bytes` with each maximal ill-formed UTF-8 subsequence replaced by one
// U+FFFD (the rule nlohmann-json's replacing dump follows); valid UTF-8
// passes unchanged.
std::string ValidUtf8(std::string_view bytes);

// A configuration message (GBK, as the log keeps it) in UTF-8.
std::string MessageText(std::string_view gbk);

}  // namespace zcv::ctl
