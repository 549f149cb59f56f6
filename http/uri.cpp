// The three-state URI scanner: host (a bracketed IPv6 address taken whole),
// then an optional decimal port, then the path taken verbatim.
#include "http/uri.h"

#include <cstring>

namespace zcv {
namespace {

// A port followed by a path may have at most this many digits.
constexpr std::size_t kMaxPortDigitsBeforePath = 5;

enum class ScanState { kHost, kPort, kPath };

// Decimal value of a digit run, kept modulo 65536 as the port field is.
std::uint16_t PortValue(const char* digits, std::size_t count) {
  std::uint16_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value = static_cast<std::uint16_t>(value * 10u + static_cast<unsigned>(digits[i] - '0'));
  }
  return value;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int HttpUriParse(const char* text, HttpUri* uri) {
  if (text == nullptr || uri == nullptr) return -1;
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) return -1;
  uri->scheme.assign(text, colon);
  if (std::strncmp(colon, "://", 3) != 0) return -1;
  const char* authority = colon + 3;
  if (*authority == '\0') return -1;

  ScanState state = ScanState::kHost;
  const char* token = authority;
  const char* p = authority;
  if (*authority == '[') {
    // The colons of an IPv6 address are its own, up to the "]".
    const char* close = std::strchr(authority, ']');
    if (close == nullptr || close == authority + 1) return -1;
    p = close + 1;
    if (*p != '\0' && *p != ':' && *p != '/') return -1;
  }
  for (; *p != '\0'; ++p) {
    const char c = *p;
    if (state == ScanState::kHost) {
      if (c != ':' && c != '/') continue;
      if (p == token) return -1;
      uri->host.assign(token, p);
      state = c == ':' ? ScanState::kPort : ScanState::kPath;
      token = c == ':' ? p + 1 : p;
    } else if (state == ScanState::kPort) {
      if (IsDigit(c)) continue;
      if (c != '/') return -1;
      const auto digits = static_cast<std::size_t>(p - token);
      if (digits == 0 || digits > kMaxPortDigitsBeforePath) return -1;
      uri->port = PortValue(token, digits);
      state = ScanState::kPath;
      token = p;
    } else {
      break;  // the path runs to the end of the text
    }
  }
  p = token + std::strlen(token);

  switch (state) {
    case ScanState::kHost:
      if (p == token) return -1;
      uri->host.assign(token, p);
      uri->path.assign("/");
      break;
    case ScanState::kPort:
      if (p == token) return -1;
      uri->port = PortValue(token, static_cast<std::size_t>(p - token));
      uri->path.assign("/");
      break;
    case ScanState::kPath:
      uri->path.assign(token, p);
      break;
  }
  return 0;
}

}  // namespace zcv
