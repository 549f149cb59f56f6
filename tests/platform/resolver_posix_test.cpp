// Name lookups: resolver errors mapped by meaning, dotted addresses kept
// from the resolver, and a resolver that never answers bounded in time.
#include <ares.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "platform/resolver.h"
#include "platform/socket.h"

namespace zcv::platform {
namespace {

TEST(MapResolverErrorTest, MapsByMeaning) {
  const struct {
    int resolver_error;
    int code;
  } cases[] = {
      {ARES_ENOTFOUND, kLookupHostNotFound}, {ARES_ETIMEOUT, kLookupHostNotFound},
      {ARES_ESERVFAIL, kLookupTryAgain},     {ARES_EREFUSED, kLookupNoRecovery},
      {ARES_ENODATA, kLookupNoData},         {ARES_ENOMEM, kLookupUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapResolverError(c.resolver_error), c.code) << c.resolver_error;
  }
}

// A UDP socket on loopback that takes queries and never answers, set as the
// resolver's only server for the life of the object.
class SilentResolver {
 public:
  SilentResolver() : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    SetResolverServersForTesting("127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
  }
  ~SilentResolver() {
    SetResolverServersForTesting("");
    ::close(socket_);
  }
  // The queries that have arrived so far, read and dropped.
  int Queries() {
    char datagram[512];
    int count = 0;
    while (::recv(socket_, datagram, sizeof datagram, 0) >= 0) ++count;
    return count;
  }

 private:
  int socket_;
};

TEST(LookupIpv4Test, DottedAddressAndHostsFileNeverReachTheResolver) {
  SilentResolver resolver;
  Ipv4Address address;
  ASSERT_EQ(LookupIpv4("127.0.0.1", &address, 1000), 0);
  EXPECT_EQ(address.bytes[0], 127);
  EXPECT_EQ(address.bytes[3], 1);
  // A name of the hosts file is answered there, without a query either.
  Ipv4Address local;
  ASSERT_EQ(LookupIpv4("localhost", &local, 1000), 0);
  EXPECT_EQ(local.bytes[0], 127);
  EXPECT_EQ(resolver.Queries(), 0);
}

TEST(LookupIpv4Test, UnansweredNameFailsAsUnknownHostWithinItsTime) {
  SilentResolver resolver;
  Ipv4Address address;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(LookupIpv4("token.never-answers.test", &address, 1000), kLookupHostNotFound);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_GT(resolver.Queries(), 0);
}

}  // namespace
}  // namespace zcv::platform
