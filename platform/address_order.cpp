// The order of a name's addresses and the families' words, the same on
// every system.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/resolver.h"

namespace zcv::platform {

void InterleaveFamilies(std::vector<IpAddress>* addresses) {
  std::vector<IpAddress> v6;
  std::vector<IpAddress> v4;
  for (const IpAddress& address : *addresses) (address.v6 ? v6 : v4).push_back(address);
  addresses->clear();
  for (std::size_t i = 0; i < v6.size() || i < v4.size(); ++i) {
    if (i < v6.size()) addresses->push_back(v6[i]);
    if (i < v4.size()) addresses->push_back(v4[i]);
  }
}

bool IsIpv4Mapped(const IpAddress& address) {
  static constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  return address.v6 && std::memcmp(address.bytes, kMappedPrefix, sizeof kMappedPrefix) == 0;
}

bool FamilyAllows(AddressFamily family, const IpAddress& address) {
  switch (family) {
    case AddressFamily::kIpv4:
      return !address.v6;
    case AddressFamily::kIpv6:
      return address.v6;
    case AddressFamily::kAny:
      break;
  }
  return true;
}

const char* FamilyWord(AddressFamily family) {
  switch (family) {
    case AddressFamily::kIpv4:
      return "IPv4 ";
    case AddressFamily::kIpv6:
      return "IPv6 ";
    case AddressFamily::kAny:
      break;
  }
  return "";
}

}  // namespace zcv::platform
