// GBK to UTF-8 through the code-page calls, one character at a time: each
// well-formed GBK pair goes through code page 936 (refusing what it does not
// map), so every byte that is not GBK becomes U+FFFD as on POSIX, whatever
// replacement character the system itself would choose.
#include <windows.h>

#include <string>

#include "platform/text_encoding.h"

namespace zcv::platform {
namespace {

constexpr char kReplacement[] = "\xef\xbf\xbd";  // U+FFFD

bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xfe; }
bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xfe && c != 0x7f; }

// The UTF-8 of one GBK pair, or empty when code page 936 does not map it.
std::string Pair(const char* pair) {
  wchar_t wide[2];
  const int chars = ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, pair, 2, wide, 2);
  if (chars <= 0) return std::string();
  char utf8[8];
  const int bytes =
      ::WideCharToMultiByte(CP_UTF8, 0, wide, chars, utf8, sizeof utf8, nullptr, nullptr);
  return bytes > 0 ? std::string(utf8, static_cast<std::size_t>(bytes)) : std::string();
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size());
  for (std::size_t i = 0; i < gbk.size();) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    if (c < 0x80) {
      out += gbk[i++];
      continue;
    }
    if (IsLead(c) && i + 1 < gbk.size() && IsTrail(static_cast<unsigned char>(gbk[i + 1]))) {
      const std::string mapped = Pair(gbk.data() + i);
      if (!mapped.empty()) {
        out += mapped;
        i += 2;
        continue;
      }
    }
    out += kReplacement;
    ++i;
  }
  return out;
}

}  // namespace zcv::platform
