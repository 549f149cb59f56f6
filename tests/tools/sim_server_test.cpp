// The simulator over real HTTP on 127.0.0.1: pages, stop and restart, and
// the fault switches.
#include "zcvsim/sim_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "zcvsim/socket_stream.h"
#include "zcvsim/totp.h"

namespace zcv::sim {
namespace {

constexpr std::int64_t kNow = 1700000000;
const Secret kSecret = *SecretFromHex("3132333435363738393031323334353637383930");

class SimServerTest : public ::testing::Test {
 protected:
  SimServerTest() : service_(":memory:", [] { return kNow; }), server_(service_) {
    Card card;
    card.card_no = 1001;
    card.service_no = "SN1001";
    card.secret = kSecret;
    card.state = CardState::kEnabled;
    card.expire_time = kNow + 3600;
    service_.AddCard(card);
    port_ = server_.Start("127.0.0.1", 0);
  }

  httplib::Result Get(const std::string& path) {
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(1);
    client.set_read_timeout(1);
    return client.Get(path.c_str());
  }

  std::string Code() const { return std::to_string(OtpAtStep(kSecret, OtpStep(kNow))); }

  TokenService service_;
  SimServer server_;
  int port_ = -1;
};

TEST_F(SimServerTest, AnswersPagesAndCountsRequests) {
  ASSERT_GT(port_, 0);
  auto res = Get("/TokenAuth.asp?iCardNo=1001&iDynpasswd=" + Code());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_NE(res->body.find("<Result>9999</Result><ExpireTime>1700003600</ExpireTime>"),
            std::string::npos);

  for (const char* path : {"/TokenMissing.asp", "/TokenAuth", "/.asp", "/"}) {
    auto missing = Get(path);
    ASSERT_TRUE(missing) << path;
    EXPECT_EQ(missing->status, 404) << path;
    EXPECT_EQ(missing->body, "unknown page\n") << path;
  }
  EXPECT_EQ(server_.RequestCount(), 5u);
}

TEST_F(SimServerTest, StopsAndStartsAgainOnTheSamePort) {
  server_.Stop();
  EXPECT_FALSE(Get("/TokenStatus.asp?iCardNo=1001"));
  server_.Stop();  // a second stop is harmless
  ASSERT_EQ(server_.Start("127.0.0.1", port_), port_);
  auto res = Get("/TokenStatus.asp?iCardNo=1001");
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find("<CardStatus>1</CardStatus>"), std::string::npos);
}

TEST_F(SimServerTest, ConnectionFaultsGiveNoReply) {
  FaultPlan refuse;
  refuse.refuse_share = 1;
  FaultPlan reset;
  reset.reset_share = 1;
  for (const FaultPlan& plan : {refuse, reset}) {
    server_.SetFaults(plan);
    EXPECT_FALSE(Get("/TokenStatus.asp?iCardNo=1001"));
  }
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(server_.ConnectionCount(), 2u);
  server_.SetFaults(FaultPlan{});
  EXPECT_TRUE(Get("/TokenStatus.asp?iCardNo=1001"));
}

TEST_F(SimServerTest, MalformedAndTruncatedReplies) {
  FaultPlan malformed;
  malformed.malformed_share = 1;
  server_.SetFaults(malformed);
  auto cut = Get("/TokenStatus.asp?iCardNo=1001");
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->status, 200);
  EXPECT_EQ(cut->body.find("</TokenReply>"), std::string::npos);
  EXPECT_EQ(cut->body.rfind("<?xml", 0), 0u);

  FaultPlan truncated;
  truncated.truncated_share = 1;
  server_.SetFaults(truncated);
  EXPECT_FALSE(Get("/TokenStatus.asp?iCardNo=1001"));  // body shorter than its length
}

TEST_F(SimServerTest, DelayedRepliesStillArrive) {
  FaultPlan slow;
  slow.delay_ms = 20;
  server_.SetFaults(slow);
  EXPECT_TRUE(Get("/TokenStatus.asp?iCardNo=1001"));
}

TEST(EscapeTargetBlanksTest, OnlyBlanksInsideTheTargetAreEscaped) {
  struct Case {
    const char* line;
    const char* escaped;
  } cases[] = {
      {"GET /p?a=1 HTTP/1.1\r", "GET /p?a=1 HTTP/1.1\r"},
      {"GET /p?a=1 Main St HTTP/1.1\r", "GET /p?a=1%20Main%20St HTTP/1.1\r"},
      {"GET /p?a=x  y HTTP/1.1", "GET /p?a=x%20%20y HTTP/1.1"},
      {"GARBAGE", "GARBAGE"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EscapeTargetBlanks(c.line), c.escaped) << c.line;
}

TEST(ShareCounterTest, HitsExactlyTheShare) {
  struct Case {
    double share;
    const char* pattern;
  } cases[] = {{0, "000000"}, {1, "111111"}, {0.5, "010101"}, {1.0 / 3, "001001"}};
  for (const Case& c : cases) {
    ShareCounter counter;
    std::string seen;
    for (int i = 0; i < 6; ++i) seen += counter.Next(c.share) ? '1' : '0';
    EXPECT_EQ(seen, c.pattern) << c.share;
  }
}

}  // namespace
}  // namespace zcv::sim
