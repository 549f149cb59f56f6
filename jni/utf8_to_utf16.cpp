// UTF-8 decoding with replacement, after the well-formed byte sequences
// of the Unicode standard (lead byte ranges and their second-byte ranges).
#include "jni/utf8_to_utf16.h"

namespace zcv {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The well-formed sequences by lead byte: their length and the range the
// second byte must fall in (every later byte is 80..BF). The narrowed
// second-byte ranges exclude overlong forms, surrogates and values above
// U+10FFFF.
struct LeadRange {
  unsigned char firstLead, lastLead;
  int length;
  unsigned char secondLow, secondHigh;
};

constexpr LeadRange kLeadRanges[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

const LeadRange* FindLead(unsigned char lead) {
  for (const LeadRange& range : kLeadRanges) {
    if (lead >= range.firstLead && lead <= range.lastLead) return &range;
  }
  return nullptr;
}

void AppendCodePoint(char32_t code, std::u16string& text) {
  if (code < 0x10000) {
    text.push_back(static_cast<char16_t>(code));
    return;
  }
  code -= 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      text.push_back(lead);
      ++i;
      continue;
    }
    const LeadRange* range = FindLead(lead);
    if (range == nullptr) {
      text.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t code = lead & (0x7F >> range->length);
    std::size_t next = i + 1;
    unsigned char low = range->secondLow;
    unsigned char high = range->secondHigh;
    while (next - i < static_cast<std::size_t>(range->length) && next < bytes.size()) {
      const auto byte = static_cast<unsigned char>(bytes[next]);
      if (byte < low || byte > high) break;
      code = (code << 6) | (byte & 0x3F);
      low = 0x80;
      high = 0xBF;
      ++next;
    }
    if (next - i == static_cast<std::size_t>(range->length)) {
      AppendCodePoint(code, text);
    } else {
      // The bytes taken so far are one maximal ill-formed part; the byte
      // that broke the sequence starts the next one.
      text.push_back(kReplacement);
    }
    i = next;
  }
  return text;
}

}  // namespace zcv
