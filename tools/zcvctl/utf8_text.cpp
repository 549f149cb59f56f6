// UTF-8 for zcvctl's human surfaces: a validating pass over bytes, and the
// configuration messages converted from GBK by the platform layer.
#include "zcvctl/utf8_text.h"

#include "platform/text_encoding.h"

namespace zcv::ctl {
namespace {

constexpr char kReplacement[] = "\xef\xbf\xbd";

// The length of the well-formed sequence at `at`, or 0 with `*bad` set to
// the length of the maximal subpart to replace.
std::size_t SequenceAt(std::string_view s, std::size_t at, std::size_t* bad) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;  // no surrogates
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    *bad = 1;
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const bool fits = at + i < s.size() && byte(at + i) >= (i == 1 ? low : 0x80) &&
                      byte(at + i) <= (i == 1 ? high : 0xbf);
    if (!fits) {
      *bad = i;
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string ValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t bad = 0;
    const std::size_t length = SequenceAt(bytes, at, &bad);
    if (length == 0) {
      out += kReplacement;
      at += bad;
    } else {
      out.append(bytes.substr(at, length));
      at += length;
    }
  }
  return out;
}

std::string MessageText(std::string_view gbk) { return platform::GbkToUtf8(gbk); }

}  // namespace zcv::ctl
