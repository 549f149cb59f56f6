// Reply number parsing without undefined behaviour on overflow: the digits
// are accumulated in an unsigned 32-bit value, which wraps by definition.
#include "reply/reply_number.h"

#include <cstdint>
#include <cstring>

namespace zcv {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int ParseReplyNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  std::int32_t result;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

}  // namespace zcv
