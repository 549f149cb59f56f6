// GBK to UTF-8 through iconv, one character at a time past a bad sequence.
#include <errno.h>
#include <iconv.h>

#include <algorithm>

#include "platform/text_encoding.h"

namespace zcv::platform {
namespace {

constexpr char kReplacement[] = "\xef\xbf\xbd";  // U+FFFD
constexpr std::size_t kChunkBytes = 256;

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

class Converter {
 public:
  Converter() : cd_(::iconv_open("UTF-8", "GBK")) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::string Convert(std::string_view gbk) {
    std::string out;
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    while (inLeft > 0) {
      char chunk[kChunkBytes];
      char* outPtr = chunk;
      std::size_t outLeft = sizeof chunk;
      const std::size_t done = ::iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      const int err = errno;
      out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
      if (done != static_cast<std::size_t>(-1) || err == E2BIG) continue;
      // EILSEQ or EINVAL: one replacement for the byte that does not start a
      // character here, then go on with the next one.
      out += kReplacement;
      ++in;
      --inLeft;
      ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  Converter converter;
  if (converter.ok()) return converter.Convert(gbk);
  // Without the GBK tables, every byte past ASCII is unreadable here.
  std::string out;
  for (char c : gbk) {
    if (static_cast<unsigned char>(c) < 0x80) {
      out += c;
    } else {
      out += kReplacement;
    }
  }
  return out;
}

}  // namespace zcv::platform
