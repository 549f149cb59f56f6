// Reply number parsing with a range check: the digits are accumulated in 64
// bits, stopping as soon as the value can no longer fit any 32-bit field.
#include "reply/reply_number.h"

#include <cstdint>
#include <limits>

#include "reply/reply_document.h"

namespace zcv {
namespace {

constexpr std::int64_t kSignedMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kSignedMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUnsignedMax = std::numeric_limits<std::uint32_t>::max();

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The number of `text`, raising when it lies outside kSignedMin to `max`.
std::int64_t ParseWithin(const std::string& text, std::int64_t max) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kUnsignedMax) throw ReplyError("number out of range");
  }
  if (negative) value = -value;
  if (value < kSignedMin || value > max) throw ReplyError("number out of range");
  return value;
}

}  // namespace

int ParseReplyNumber(const std::string& text) {
  return static_cast<int>(ParseWithin(text, kSignedMax));
}

unsigned ParseReplyCode(const std::string& text) {
  // Conversion to unsigned is modulo 2^32: -1 becomes 4294967295.
  return static_cast<unsigned>(ParseWithin(text, kUnsignedMax));
}

}  // namespace zcv
