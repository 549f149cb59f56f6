// Name lookups through c-ares against the tests' own name server: both
// families and AddressFamily, names the server does not know, a server that
// never answers bounded in time, the hosts file, overlapping lookups on one
// resolver, and the order addresses are tried in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/resolver.h"
#include "tests/support/dns_server.h"

namespace zcv::platform {
namespace {

std::string Texts(const std::vector<IpAddress>& addresses) {
  std::string texts;
  for (const IpAddress& address : addresses) {
    char text[kIpTextBytes];
    texts += std::string(texts.empty() ? "" : " ") + FormatIpAddress(address, text, sizeof text);
  }
  return texts;
}

std::int64_t In(int ms) { return MonotonicMilliseconds() + ms; }

TEST(ResolverTest, AnswersAsTheNameServerAndTheFamilySay) {
  test::DnsServer dns(
      {{"dual.test", {"192.0.2.10", "2001:db8::10", "192.0.2.11"}}, {"six.test", {"2001:db8::6"}}});
  const auto resolver = MakeSystemResolver({dns.server()});
  const struct {
    const char* name;
    AddressFamily family;
    const char* found;   // sorted as the test compares them
    const char* reason;  // nullptr: any "no address" reason
  } cases[] = {
      {"six.test", AddressFamily::kAny, "2001:db8::6", ""},
      {"six.test", AddressFamily::kIpv6, "2001:db8::6", ""},
      {"six.test", AddressFamily::kIpv4, "", "no address (the name has no IPv4 address)"},
      {"dual.test", AddressFamily::kIpv4, "192.0.2.10 192.0.2.11", ""},
      {"unknown.test", AddressFamily::kAny, "", "no address (name not found)"},
      // An IPv4 address in an AAAA record would be dialed over IPv4.
      {"mapped.test", AddressFamily::kIpv6, "", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<IpAddress> addresses;
    const NetStatus status = resolver->Lookup(c.name, c.family, In(2000), &addresses);
    if (c.reason != nullptr) {
      EXPECT_STREQ(status.reason(), c.reason);
    } else {
      EXPECT_EQ(status.kind(), NetKind::kLookup);
    }
    EXPECT_EQ(Texts(addresses), c.found);
  }
  std::vector<IpAddress> dual;
  ASSERT_TRUE(resolver->Lookup("dual.test", AddressFamily::kAny, In(2000), &dual).ok());
  InterleaveFamilies(&dual);
  EXPECT_EQ(Texts(dual), "2001:db8::10 192.0.2.10 192.0.2.11");
}

TEST(ResolverTest, UnansweredNameFailsWithinItsTime) {
  test::DnsServer silent({}, true);
  const auto resolver = MakeSystemResolver({silent.server()});
  std::vector<IpAddress> addresses;
  const auto start = std::chrono::steady_clock::now();
  const NetStatus status =
      resolver->Lookup("token.never-answers.test", AddressFamily::kAny, In(1000), &addresses);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(status.kind(), NetKind::kLookup);
  EXPECT_STREQ(status.reason(), "no address (lookup timed out after 1 s)");
  EXPECT_GT(silent.queries(), 0);
  // The channel is used again after a lookup it gave up on.
  EXPECT_FALSE(resolver->Lookup("again.test", AddressFamily::kAny, In(200), &addresses).ok());
}

TEST(ResolverTest, HostsFileNeverReachesTheServer) {
  test::DnsServer dns({});
  const auto resolver = MakeSystemResolver({dns.server()});
  std::vector<IpAddress> addresses;
  ASSERT_TRUE(resolver->Lookup("localhost", AddressFamily::kIpv4, In(1000), &addresses).ok());
  EXPECT_EQ(Texts(addresses), "127.0.0.1");
  EXPECT_EQ(dns.queries(), 0);
}

TEST(ResolverTest, OverlappingLookupsOnOneResolver) {
  test::DnsServer dns({{"svc.test", {"192.0.2.1", "2001:db8::1"}}});
  const auto resolver = MakeSystemResolver({dns.server()});
  constexpr int kThreads = 8;
  constexpr int kLookups = 20;
  std::atomic<int> answered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kLookups; ++i) {
        std::vector<IpAddress> addresses;
        if (resolver->Lookup("svc.test", AddressFamily::kAny, In(2000), &addresses).ok() &&
            addresses.size() == 2) {
          ++answered;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(answered.load(), kThreads * kLookups);
}

TEST(InterleaveFamiliesTest, Ipv6FirstThenInTurn) {
  const struct {
    std::vector<const char*> in;
    const char* out;
  } cases[] = {
      {{"192.0.2.1", "192.0.2.2", "2001:db8::1"}, "2001:db8::1 192.0.2.1 192.0.2.2"},
      {{"2001:db8::1", "2001:db8::2", "192.0.2.1"}, "2001:db8::1 192.0.2.1 2001:db8::2"},
      {{"192.0.2.1"}, "192.0.2.1"},
  };
  for (const auto& c : cases) {
    std::vector<IpAddress> addresses;
    for (const char* text : c.in) {
      IpAddress address;
      ASSERT_TRUE(ParseIpAddress(text, &address));
      addresses.push_back(address);
    }
    InterleaveFamilies(&addresses);
    EXPECT_EQ(Texts(addresses), c.out);
  }
}

}  // namespace
}  // namespace zcv::platform
