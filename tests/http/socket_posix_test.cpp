// The platform socket layer's own rules: error texts always terminated and
// in this library's words, address texts, waits on no socket failing at
// once, and the racing connect moving on at once from a refused address.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/clock.h"
#include "platform/connector.h"
#include "platform/socket.h"
#include "tests/support/script_server.h"

namespace zcv::platform {
namespace {

TEST(ErrorNumberTextTest, OwnWordsAndAlwaysTerminated) {
  char buffer[256];
  EXPECT_STREQ(ErrorNumberText(ECONNREFUSED, buffer, sizeof buffer), "connection refused");
  EXPECT_STREQ(ErrorNumberText(ENETUNREACH, buffer, sizeof buffer), "network unreachable");
  EXPECT_GT(std::strlen(ErrorNumberText(99999, buffer, sizeof buffer)), 0u);
  char tiny[4];
  EXPECT_LT(std::strlen(ErrorNumberText(ECONNREFUSED, tiny, sizeof tiny)), sizeof tiny);
}

TEST(IpAddressTest, ParsesBothFamiliesAndNothingElse) {
  const struct {
    const char* text;
    bool parsed;
    bool v6;
    const char* shown;
  } cases[] = {
      {"192.0.2.10", true, false, "192.0.2.10"},
      {"2001:DB8::10", true, true, "2001:db8::10"},
      {"::1", true, true, "::1"},
      {"fe80::1%eth0", false, false, ""},
      {"[::1]", false, false, ""},
      {"otp.example.com", false, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    IpAddress address;
    ASSERT_EQ(ParseIpAddress(c.text, &address), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(address.v6, c.v6);
    char text[kIpTextBytes];
    EXPECT_STREQ(FormatIpAddress(address, text, sizeof text), c.shown);
  }
}

TEST(WaitTest, NoSocketFailsAtOnce) {
  const std::int64_t later = MonotonicMilliseconds() + 5000;
  EXPECT_EQ(WaitReadable(kNoSocket, later), -1);
  EXPECT_EQ(WaitWritable(kNoSocket, later), -1);
}

TEST(ConnectFirstTest, ARefusedAddressHandsOnAtOnce) {
  test::ScriptServer server(test::Script{});
  IpAddress addresses[2];
  ASSERT_TRUE(ParseIpAddress("127.0.0.2", &addresses[0]));  // nothing listens there
  ASSERT_TRUE(ParseIpAddress("127.0.0.1", &addresses[1]));
  SocketHandle socket = kNoSocket;
  std::vector<ConnectTry> tries;
  const auto start = std::chrono::steady_clock::now();
  const NetStatus status =
      ConnectFirst(addresses, 2, server.port(), MonotonicMilliseconds() + 2000, &socket, &tries);
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(kConnectAttemptDelayMs));
  ASSERT_TRUE(status.ok()) << status.reason();
  CloseSocket(socket);
  ASSERT_EQ(tries.size(), 2u);
  EXPECT_EQ(tries[0].outcome, TryOutcome::kFailed);
  EXPECT_EQ(tries[0].error, ECONNREFUSED);
  EXPECT_EQ(tries[1].outcome, TryOutcome::kConnected);

  const NetStatus refused =
      ConnectFirst(addresses, 1, server.port(), MonotonicMilliseconds() + 2000, &socket);
  EXPECT_EQ(refused.kind(), NetKind::kConnect);
  EXPECT_STREQ(refused.reason(), "connection refused");
  EXPECT_EQ(socket, kNoSocket);
}

}  // namespace
}  // namespace zcv::platform
