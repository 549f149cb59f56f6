// Name lookups for the HTTP client: the Resolver interface a client holds
// one of, the system's resolver behind it (c-ares on Linux, GetAddrInfoExW
// on Windows), and the order in which a name's addresses are tried.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/net_status.h"
#include "platform/socket.h"

namespace zcv::platform {

// The families a client looks names up for and dials ([ServerSet]
// AddressFamily).
enum class AddressFamily { kAny, kIpv4, kIpv6 };

// The most addresses of one name that are kept and tried.
constexpr std::size_t kMaxAddresses = 16;

class Resolver {
 public:
  virtual ~Resolver() = default;
  // Fills `*addresses` with up to kMaxAddresses addresses of the host name
  // `name` of the families `family` allows, in the resolver's order.
  // Gives up at `deadline_ms` (on MonotonicMilliseconds()). A failure is a
  // kLookup status whose reason reads "no address (...)". Safe to call
  // from many threads at once.
  virtual NetStatus Lookup(const char* name, AddressFamily family, std::int64_t deadline_ms,
                           std::vector<IpAddress>* addresses) = 0;
};

struct ResolverOptions {
  // The name servers to ask, "address:port" separated by commas, instead
  // of the system's configuration; empty for the system's. Linux only.
  std::string servers;
};

// The system's resolver. On Linux one c-ares channel, made on first use
// with the resolver configuration read then, serves the lookups; lookups
// that overlap take further channels from a small pool, since a channel
// serves one thread at a time.
std::unique_ptr<Resolver> MakeSystemResolver(const ResolverOptions& options = {});

// Reorders the addresses as they are to be tried: IPv6 and IPv4 in turn,
// IPv6 first, each family in the order it came in.
void InterleaveFamilies(std::vector<IpAddress>* addresses);

// Whether `family` allows dialing `address`.
bool FamilyAllows(AddressFamily family, const IpAddress& address);

// Whether `address` is an IPv4 address written as IPv6 (::ffff:0:0/96),
// which a socket would reach over IPv4. Lookups drop such answers: the
// name's A records give its IPv4 addresses, and AddressFamily=ipv6 must
// never reach IPv4.
bool IsIpv4Mapped(const IpAddress& address);

// "IPv4 " or "IPv6 " for a limited family, "" for any: the word a lookup's
// reason puts before "address".
const char* FamilyWord(AddressFamily family);

}  // namespace zcv::platform
