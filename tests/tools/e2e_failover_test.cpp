// Failover between simulators that fail, stop and start during the test,
// and the failure gate of the authentication operations.
#include <cstring>

#include "e2e_fixture.h"

namespace zcv::e2e {
namespace {

const sim::Secret kSecret = *sim::SecretFromHex("5555555555555555555555555555555555555555");

class FailoverTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    AddCard(1001, "SN1001", sim::CardState::kEnabled, kSecret);
  }

  ResultCode Auth() {
    char expire[zcv::kExpireTextBytes] = "";
    return lib().TokenAuth(1001, Code(kSecret), expire);
  }

  void StopAll() {
    for (auto& server : servers_) server->Stop();
  }
  void StartAll() {
    for (int i = 0; i < kServers; ++i)
      ASSERT_EQ(servers_[i]->Start("127.0.0.1", ports_[i]), ports_[i]);
  }
  std::uint64_t Requests(int i) const { return servers_[i]->RequestCount(); }
};

TEST_F(FailoverTest, UnreadableServersAreSkippedAndMovedToTheEnd) {
  sim::FaultPlan refuse;
  refuse.refuse_share = 1;
  sim::FaultPlan malformed;
  malformed.malformed_share = 1;
  servers_[0]->SetFaults(refuse);
  servers_[1]->SetFaults(malformed);
  LoadAll();

  EXPECT_EQ(Auth(), zcv::kAccepted);
  EXPECT_EQ(servers_[0]->ConnectionCount(), 1u);
  EXPECT_EQ(Requests(1), 1u);
  EXPECT_EQ(Requests(2), 1u);
  std::string log = LogText();
  EXPECT_NE(log.find("127.0.0.1  connect error: "), std::string::npos) << log;
  EXPECT_NE(log.find("parse xml error\n"), std::string::npos) << log;

  // The answering server is now first: the next call goes straight to it.
  EXPECT_EQ(Auth(), zcv::kAccepted);
  EXPECT_EQ(servers_[0]->ConnectionCount(), 1u);
  EXPECT_EQ(Requests(1), 1u);
  EXPECT_EQ(Requests(2), 2u);

  // It stops; the list now goes on with the first server, which recovered.
  servers_[2]->Stop();
  servers_[0]->SetFaults(sim::FaultPlan{});
  EXPECT_EQ(Auth(), zcv::kAccepted);
  EXPECT_EQ(Requests(0), 1u);
}

TEST_F(FailoverTest, TruncatedAndResetRepliesFailTheAttempt) {
  sim::FaultPlan truncated;
  truncated.truncated_share = 1;
  sim::FaultPlan reset;
  reset.reset_share = 1;
  servers_[0]->SetFaults(truncated);
  servers_[1]->SetFaults(reset);
  servers_[2]->SetFaults(truncated);
  LoadAll();
  EXPECT_EQ(Auth(), zcv::kNoAnswer);
  EXPECT_EQ(Requests(0), 1u);
  EXPECT_EQ(servers_[1]->ConnectionCount(), 1u);
  EXPECT_EQ(Requests(2), 1u);
  servers_[1]->SetFaults(sim::FaultPlan{});
  EXPECT_EQ(Auth(), zcv::kAccepted);
}

TEST_F(FailoverTest, ThirdCallWithoutServersClosesTheGateWithoutTraffic) {
  LoadAll();
  StopAll();
  for (int call = 1; call <= 3; ++call) EXPECT_EQ(Auth(), zcv::kNoAnswer) << "call " << call;

  // The servers are back, but authentication is refused without a request.
  StartAll();
  EXPECT_EQ(Auth(), zcv::kNoAnswer);
  char expire[zcv::kExpireTextBytes] = "";
  EXPECT_EQ(lib().TokenAuth2Next(1001, Code(kSecret), Code(kSecret, 1), expire), zcv::kNoAnswer);
  EXPECT_EQ(Connections(), 0u);

  // Only the authentication operations are gated.
  int status = 0;
  EXPECT_EQ(lib().TokenStatus(1001, status, expire), zcv::kAccepted);
  EXPECT_EQ(Connections(), 1u);
}

TEST_F(FailoverTest, ReadableReplyResetsTheGateBeforeItTrips) {
  LoadAll();
  StopAll();
  EXPECT_EQ(Auth(), zcv::kNoAnswer);
  EXPECT_EQ(Auth(), zcv::kNoAnswer);
  StartAll();
  // Any readable reply counts, a refusal by the service included.
  char expire[zcv::kExpireTextBytes] = "";
  EXPECT_EQ(lib().TokenAuth(1001, Code(kSecret, 5), expire), 2002u);

  StopAll();
  EXPECT_EQ(Auth(), zcv::kNoAnswer);
  EXPECT_EQ(Auth(), zcv::kNoAnswer);
  StartAll();
  // Two failures since the reset: the third call still goes out.
  EXPECT_EQ(Auth(), zcv::kAccepted);
  EXPECT_EQ(Connections(), 2u);
}

TEST_F(FailoverTest, RotatedOrderSurvivesReloading) {
  servers_[0]->Stop();
  LoadAll();
  EXPECT_EQ(Auth(), zcv::kAccepted);
  Unload();
  // The written-back list starts with the server that answered.
  LoadModule();
  std::uint64_t before = Requests(1);
  EXPECT_EQ(Auth(), zcv::kAccepted);
  EXPECT_EQ(Requests(1), before + 1);
}

}  // namespace
}  // namespace zcv::e2e
