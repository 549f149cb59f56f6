// GBK to UTF-8 through the code-page calls: code page 936 to UTF-16, then
// UTF-16 to UTF-8. Bytes that are not GBK become U+FFFD on the first step.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/text_encoding.h"

namespace zcv::platform {

std::string GbkToUtf8(std::string_view gbk) {
  const bool ascii = std::all_of(gbk.begin(), gbk.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return std::string(gbk);
  // Far beyond any message; the sizes below are ints.
  if (gbk.size() > INT_MAX / 4) return "\xef\xbf\xbd";
  const int inBytes = static_cast<int>(gbk.size());
  const int wideChars = ::MultiByteToWideChar(936, 0, gbk.data(), inBytes, nullptr, 0);
  if (wideChars <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(wideChars), L'\0');
  ::MultiByteToWideChar(936, 0, gbk.data(), inBytes, wide.data(), wideChars);
  const int outBytes =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideChars, nullptr, 0, nullptr, nullptr);
  if (outBytes <= 0) return std::string();
  std::string out(static_cast<std::size_t>(outBytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideChars, out.data(), outBytes, nullptr, nullptr);
  return out;
}

}  // namespace zcv::platform
