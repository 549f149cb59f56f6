// Address and port checks of the server list. A text of digits and dots is
// taken only as the canonical dotted quad: the resolver would read "127.1"
// or "010.1.2.3" as some other address, or send it to DNS.
#include "config/server_address.h"

#include <cstddef>

namespace zcv {
namespace {

constexpr std::size_t kMaxPortDigits = 5;
constexpr long kMaxPort = 65535;
constexpr int kQuadParts = 4;
constexpr int kMaxQuadPart = 255;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsDottedQuad(const std::string& text) {
  int parts = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find('.', start);
    const std::size_t end = dot == std::string::npos ? text.size() : dot;
    const std::size_t digits = end - start;
    if (digits == 0 || digits > 3 || (digits > 1 && text[start] == '0')) return false;
    int value = 0;
    for (std::size_t i = start; i < end; ++i) {
      if (!IsDigit(text[i])) return false;
      value = value * 10 + (text[i] - '0');
    }
    if (value > kMaxQuadPart || ++parts > kQuadParts) return false;
    if (dot == std::string::npos) return parts == kQuadParts;
    start = dot + 1;
  }
}

}  // namespace

bool IsServerAddress(const std::string& text) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  if (text.find("..") != std::string::npos) return false;
  bool numeric = true;
  for (char c : text) {
    if (!IsDigit(c) && !IsLetter(c) && c != '-' && c != '.') return false;
    numeric = numeric && (IsDigit(c) || c == '.');
  }
  return !numeric || IsDottedQuad(text);
}

bool IsServerPort(const std::string& text) {
  if (text.empty() || text.size() > kMaxPortDigits) return false;
  long value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= kMaxPort;
}

}  // namespace zcv
