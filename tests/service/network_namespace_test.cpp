// Whole calls in a network namespace of the test's own (root only; each
// case skips, saying why, elsewhere): an IPv6-only host reaching its server
// by address and by a name that has only an AAAA record, a name whose IPv6
// address never answers beside a live IPv4 one, AddressFamily=ipv4 never
// dialing IPv6, and TLS to ::1 verified against the certificate's IP entry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "service_fixture.h"
#include "support/dns_server.h"
#include "support/script_server.h"
#include "support/test_socket.h"
#include "support/tls_script_server.h"
#include "support/tls_test_pki.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

std::string whyNoNamespace;  // empty once the namespace is made

// A listener on [::1]:port made by hand, so that it shares its port number
// with an IPv4 server. With `full`, its queue is filled and never taken
// from: the kernel drops every further connection request to it, an
// address that never answers.
class Ipv6Listener {
 public:
  Ipv6Listener(std::uint16_t port, bool full)
      : listener_(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
    const int on = 1;
    ::setsockopt(listener_, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(port);
    bound_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
             ::listen(listener_, full ? 0 : 16) == 0;
    for (int i = 0; full && i < kFillers; ++i) {
      fillers_[i] = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      ::connect(fillers_[i], reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
  }
  ~Ipv6Listener() {
    for (int filler : fillers_) {
      if (filler >= 0) ::close(filler);
    }
    ::close(listener_);
  }
  bool bound() const { return bound_; }
  // Whether a connection has arrived (taken without waiting).
  bool Dialed() {
    const int accepted = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0) return false;
    ::close(accepted);
    return true;
  }

 private:
  static constexpr int kFillers = 3;
  int listener_;
  int fillers_[kFillers] = {-1, -1, -1};
  bool bound_ = false;
};

class NetworkNamespaceTest : public ServiceFixture {
 protected:
  void SetUp() override {
    if (!whyNoNamespace.empty()) {
      GTEST_SKIP() << whyNoNamespace;
    }
  }
  void TearDown() override {
    net::ListenOnIpv6Loopback(false);
    if (ipv6Only_) {
      ASSERT_EQ(std::system("ip addr add 127.0.0.1/8 dev lo"), 0);
    }
  }
  // The host keeps ::1 alone: no IPv4 address at all.
  void MakeIpv6Only() {
    ASSERT_EQ(std::system("ip addr del 127.0.0.1/8 dev lo"), 0);
    ipv6Only_ = true;
    net::ListenOnIpv6Loopback(true);
  }
  static std::string Ini(const std::string& ip, std::uint16_t port, const std::string& more = "") {
    return "[ServerSet]\nServerNumber=1\nServerIP0=" + ip +
           "\nServerPort0=" + std::to_string(port) +
           "\nConnectTimeout=5\nSendTimeout=2\nReceiveTimeout=2\n" + more;
  }
  ResultCode Auth() {
    char expire[kExpireTextBytes];
    return TokenAuth(1, 2, expire);
  }

  bool ipv6Only_ = false;
};

const std::string kAccepting = HttpReply(Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>"));

TEST_F(NetworkNamespaceTest, Ipv6OnlyHostReachesItsServerByAddressAndByName) {
  MakeIpv6Only();
  ScriptServer server(Script{Send(kAccepting)});
  DnsServer dns({{"otp.v6.test", {"::1"}}}, false, "::1");
  resolver_ = platform::MakeSystemResolver({dns.server()});

  StartServiceWithIni(Ini("::1", server.port()));
  EXPECT_EQ(Auth(), kAccepted) << LogText();
  StopService();
  StartServiceWithIni(Ini("otp.v6.test", server.port()));
  EXPECT_EQ(Auth(), kAccepted) << LogText();
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_THAT(server.requests()[0], ::testing::HasSubstr("\r\nHost: [::1]\r\n"));
  EXPECT_THAT(server.requests()[1], ::testing::HasSubstr("\r\nHost: otp.v6.test\r\n"));
}

TEST_F(NetworkNamespaceTest, DeadIpv6CostsAtMostTheAttemptDelay) {
  ScriptServer live(Script{Send(kAccepting)});
  Ipv6Listener dead(live.port(), true);
  ASSERT_TRUE(dead.bound());
  DnsServer dns({{"dual.test", {"::1", "127.0.0.1"}}});
  resolver_ = platform::MakeSystemResolver({dns.server()});
  StartServiceWithIni(Ini("dual.test", live.port()));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Auth(), kAccepted) << LogText();
  const auto spent = std::chrono::steady_clock::now() - start;
  // IPv6 went first and was given its 250 ms, then IPv4 answered; nothing
  // near the 5 s connect time-out.
  EXPECT_GE(spent, std::chrono::milliseconds(240));
  EXPECT_LT(spent, std::chrono::milliseconds(250 + 750));
  EXPECT_EQ(live.connections(), 1);
}

TEST_F(NetworkNamespaceTest, AddressFamilyIpv4NeverDialsIpv6) {
  ScriptServer live(Script{Send(kAccepting)});
  Ipv6Listener watched(live.port(), false);
  ASSERT_TRUE(watched.bound());
  DnsServer dns({{"dual.test", {"::1", "127.0.0.1"}}});
  resolver_ = platform::MakeSystemResolver({dns.server()});
  StartServiceWithIni(Ini("dual.test", live.port(), "AddressFamily=ipv4\n"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Auth(), kAccepted) << LogText();
  EXPECT_EQ(live.connections(), 3);
  EXPECT_FALSE(watched.Dialed());
}

TEST_F(NetworkNamespaceTest, TlsToIpv6LoopbackIsVerifiedAgainstTheIpEntry) {
  // The TLS servers listen on ::1 and hand the clear text to this one.
  ScriptServer inner(Script{Send(kAccepting)});
  net::ListenOnIpv6Loopback(true);
  const std::string caFile = dir_ + "/ca.pem";
  std::ofstream(caFile) << Pki().caPem;
  const std::string tls = "[TLS]\nEnabled=1\nCAFile=" + caFile + "\n";
  {
    TlsScriptServer server(inner.port(), TlsServerOptions{Pki().ipv6});
    StartServiceWithIni(Ini("::1", server.port(), tls));
    EXPECT_EQ(Auth(), kAccepted) << LogText();
    StopService();
  }
  TlsScriptServer other(inner.port(), TlsServerOptions{Pki().ip});
  StartServiceWithIni(Ini("::1", other.port(), tls));
  EXPECT_EQ(Auth(), kNoAnswer);
  const std::vector<std::string> messages = LogMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], ::testing::StartsWith("[::1]  tls error: "));
}

}  // namespace
}  // namespace zcv::test

// The namespace is made before any thread starts, so that every thread of
// the test (servers included) lives in it.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::geteuid() != 0) {
    zcv::test::whyNoNamespace = "needs root to make a network namespace";
  } else if (::unshare(CLONE_NEWNET) != 0) {
    zcv::test::whyNoNamespace = "unshare(CLONE_NEWNET) refused";
  } else if (std::system("ip link set lo up") != 0) {
    zcv::test::whyNoNamespace = "could not bring up lo in the namespace (ip from iproute2)";
  }
  return RUN_ALL_TESTS();
}
