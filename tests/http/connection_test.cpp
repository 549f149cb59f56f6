// Connection: opening (an address, refused, a name the resolver does not
// know, a family the file excludes), the buffer growth rule, and single
// receive and send steps with their reasons.
#include "http/connection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/http/attached_connection.h"
#include "tests/support/script_server.h"

namespace zcv {
namespace {

using platform::NetKind;

// Answers every name from a fixed list, or not at all.
class FakeResolver final : public platform::Resolver {
 public:
  explicit FakeResolver(std::vector<platform::IpAddress> addresses)
      : addresses_(std::move(addresses)) {}
  platform::NetStatus Lookup(const char* name, platform::AddressFamily, std::int64_t,
                             std::vector<platform::IpAddress>* out) override {
    lastName = name;
    *out = addresses_;
    if (out->empty()) {
      return platform::NetStatus::Failure(NetKind::kLookup, "no address (name not found)");
    }
    return platform::NetStatus();
  }
  std::string lastName;

 private:
  std::vector<platform::IpAddress> addresses_;
};

platform::IpAddress Address(const char* text) {
  platform::IpAddress address;
  EXPECT_TRUE(platform::ParseIpAddress(text, &address)) << text;
  return address;
}

class HttpConnectionTest : public ::testing::Test {
 protected:
  HttpConnectionTest() { test::Attach(&connection_, pair_.ReleaseLocal(), 1); }

  std::string Buffered() const { return std::string(connection_.buffer.get(), connection_.used); }

  test::SocketPair pair_;
  HttpConnection connection_;
};

TEST(HttpConnectionOpenTest, OpensOrSaysWhyNot) {
  test::ScriptServer server(test::Script{});
  FakeResolver known({Address("127.0.0.1")});
  FakeResolver unknown({});
  const struct {
    const char* host;
    std::uint16_t port;
    FakeResolver* resolver;
    platform::AddressFamily family;
    NetKind kind;
    const char* reason;
  } cases[] = {
      {"127.0.0.1", server.port(), nullptr, platform::AddressFamily::kAny, NetKind::kOk, ""},
      {"svc.test", server.port(), &known, platform::AddressFamily::kAny, NetKind::kOk, ""},
      {"127.0.0.1", test::UnusedPort(), nullptr, platform::AddressFamily::kAny, NetKind::kConnect,
       "connection refused"},
      {"svc.test", server.port(), &unknown, platform::AddressFamily::kAny, NetKind::kLookup,
       "no address (name not found)"},
      {"svc.test", server.port(), nullptr, platform::AddressFamily::kAny, NetKind::kLookup,
       "no address (no resolver)"},
      {"127.0.0.1", server.port(), nullptr, platform::AddressFamily::kIpv6, NetKind::kConnect,
       "address not of AddressFamily=ipv6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    HttpConnection connection;
    connection.connectTimeout = 1;
    connection.resolver = c.resolver;
    connection.family = c.family;
    const platform::NetStatus status = HttpConnectionOpen(&connection, c.host, c.port);
    EXPECT_EQ(status.kind(), c.kind);
    EXPECT_STREQ(status.reason(), c.reason);
    EXPECT_EQ(connection.socket != platform::kNoSocket, status.ok());
  }
  EXPECT_EQ(known.lastName, "svc.test");
}

TEST_F(HttpConnectionTest, AppendGrowsByExactlyTheMissingLength) {
  const std::string bytes(1500, 'x');
  HttpConnectionAppend(&connection_, "ab", 2);
  HttpConnectionAppend(&connection_, bytes.data(), 1500);
  EXPECT_EQ(connection_.capacity, 1024 + 1500);
  EXPECT_EQ(connection_.used, 1502);
  EXPECT_EQ(Buffered(), "ab" + bytes);
}

TEST_F(HttpConnectionTest, ReceiveTellsBytesFromPeerClosed) {
  pair_.Write(std::string(1024, 'a'));
  EXPECT_TRUE(HttpConnectionReceive(&connection_).ok());
  EXPECT_EQ(connection_.used, 1024);
  EXPECT_TRUE(connection_.received);

  pair_.Write("tail");
  pair_.CloseRemote();
  EXPECT_TRUE(HttpConnectionReceive(&connection_).ok());  // 4 of a new unit
  EXPECT_EQ(connection_.capacity, 2048);                  // grown by the whole target
  EXPECT_EQ(connection_.remaining, 1020);
  EXPECT_TRUE(HttpConnectionReceive(&connection_).ok());
  EXPECT_TRUE(connection_.peerClosed);
  EXPECT_EQ(Buffered(), std::string(1024, 'a') + "tail");
}

TEST_F(HttpConnectionTest, ReceiveTimeOutSaysWhetherAnythingCame) {
  HttpConnectionStartPhase(&connection_, 0);
  platform::NetStatus status = HttpConnectionReceive(&connection_);
  EXPECT_EQ(status.kind(), NetKind::kReceive);
  EXPECT_STREQ(status.reason(), "no reply within 0 s");
  pair_.Write("ab");
  ASSERT_TRUE(HttpConnectionReceive(&connection_).ok());
  status = HttpConnectionReceive(&connection_);
  EXPECT_STREQ(status.reason(), "reply not complete within 0 s");
  EXPECT_EQ(connection_.used, 2);
}

TEST_F(HttpConnectionTest, SendMovesTheWholeBufferThenFailsOnClosedPeer) {
  HttpConnectionAppend(&connection_, "hello", 5);
  EXPECT_TRUE(HttpConnectionSend(&connection_).ok());
  EXPECT_EQ(connection_.used, 0);
  EXPECT_EQ(pair_.ReadAvailable(), "hello");

  HttpConnectionClose(&connection_);
  HttpConnectionAppend(&connection_, "x", 1);
  const platform::NetStatus status = HttpConnectionSend(&connection_);
  EXPECT_EQ(status.kind(), NetKind::kSend);
  EXPECT_STREQ(status.reason(), "not connected");
}

}  // namespace
}  // namespace zcv
