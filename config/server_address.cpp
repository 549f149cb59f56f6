// Address and port checks of the server list. An IPv6 address is taken as
// the system's parser reads it; a text of digits and dots only as the
// canonical dotted quad: the resolver would read "127.1"
// or "010.1.2.3" as some other address, or send it to DNS.
#include "config/server_address.h"

#include <cstddef>

#include "platform/resolver.h"
#include "platform/socket.h"

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

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Hexadecimal groups and colons as the system's parser reads them, and no
// IPv4-mapped address (::ffff:0:0/96).
bool IsIpv6Text(const std::string& text) {
  for (char c : text) {
    if (!IsHexDigit(c) && c != ':') return false;
  }
  platform::IpAddress address;
  return platform::ParseIpAddress(text.c_str(), &address) && address.v6 &&
         !platform::IsIpv4Mapped(address);
}

bool IsHostName(const std::string& text) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  if (text.find("..") != std::string::npos) return false;
  for (char c : text) {
    if (!IsDigit(c) && !IsLetter(c) && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

AddressForm ServerAddressForm(const std::string& text) {
  if (text.find(':') != std::string::npos) {
    return IsIpv6Text(text) ? AddressForm::kIpv6 : AddressForm::kNone;
  }
  if (!IsHostName(text)) return AddressForm::kNone;
  const bool numeric = text.find_first_not_of("0123456789.") == std::string::npos;
  if (!numeric) return AddressForm::kName;
  return IsDottedQuad(text) ? AddressForm::kIpv4 : AddressForm::kNone;
}

bool IsServerAddress(const std::string& text) {
  return ServerAddressForm(text) != AddressForm::kNone;
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
