// Every exported operation through the loaded library against the
// simulator: the request reaches the right page with the right keys, and
// the reply's outputs arrive in the caller's buffers.
#include <cstring>
#include <regex>

#include "e2e_fixture.h"

namespace zcv::e2e {
namespace {

using sim::CardState;

const sim::Secret kSecretA = *sim::SecretFromHex("11111111111111111111");
const sim::Secret kSecretB = *sim::SecretFromHex("22222222222222222222");
const sim::Secret kSecretC = *sim::SecretFromHex("33333333333333333333");
const sim::Secret kSecretD = *sim::SecretFromHex("44444444444444444444");

class OperationsTest : public EndToEndTest {
 protected:
  void SetUp() override {
    EndToEndTest::SetUp();
    AddCard(1001, "SN1001", CardState::kNew, kSecretA);
    AddCard(1003, "SN1003", CardState::kNew, kSecretB);
    AddCard(2002, "SN2002", CardState::kNew, kSecretC);
    AddCard(2003, "SN2003", CardState::kNew, kSecretD);
    LoadAll();
  }

  std::string ExpireOf(ResultCode (*auth)(int, int, char*), int card, int code) {
    char expire[zcv::kExpireTextBytes] = "untouched";
    EXPECT_EQ(auth(card, code, expire), zcv::kAccepted);
    return expire;
  }

  static bool IsResv(const char* text) { return std::regex_match(text, std::regex("[0-9]{6}")); }
};

TEST_F(OperationsTest, AllTwentyEightOperations) {
  auto& L = lib();
  const int a = Code(kSecretA), a1 = Code(kSecretA, 1);
  const int b = Code(kSecretB), b1 = Code(kSecretB, 1);
  std::string sn1001 = "SN1001", sn1003 = "SN1003", sn2002 = "SN2002", sn2003 = "SN2003";
  std::string ann = "Ann", id = "ID-1", post = "12345", mail = "ann@example.org";
  std::string alice = "alice", bob = "bob", carol = "carol", op = "desk-7";
  char expire[zcv::kExpireTextBytes] = "";
  char resv[zcv::kResvPassWordBytes] = "";

  // Lifecycle: enable both cards (one and two passwords).
  ASSERT_EQ(L.TokenEnable(sn1001.data(), a, ann.data(), 1, id.data(), nullptr, nullptr, post.data(),
                          mail.data(), nullptr, expire),
            zcv::kAccepted);
  EXPECT_EQ(expire, LocalText(kExpire));
  EXPECT_EQ(service_->FindCard(1001)->profile.email, mail);
  EXPECT_FALSE(service_->FindCard(1001)->profile.mobile.has_value());  // sent as "(null)"
  std::memset(expire, 0, sizeof expire);
  ASSERT_EQ(L.TokenEnableNext(sn1003.data(), b, b1, nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, expire),
            zcv::kAccepted);
  EXPECT_EQ(expire, LocalText(kExpire));

  // Authentication, three pages.
  EXPECT_EQ(ExpireOf(L.TokenAuth, 1001, a), LocalText(kExpire));
  EXPECT_EQ(ExpireOf(L.TokenAuth2, 1001, a), LocalText(kExpire));
  std::memset(expire, 0, sizeof expire);
  EXPECT_EQ(L.TokenAuth2Next(1001, a, a1, expire), zcv::kAccepted);
  EXPECT_EQ(expire, LocalText(kExpire));

  // Bindings, three pages, each answering a reserved password.
  ASSERT_EQ(L.TokenBinding(1001, a, 1, 11, alice.data(), resv), zcv::kAccepted);
  EXPECT_TRUE(IsResv(resv));
  std::string alice_resv = resv;
  ASSERT_EQ(L.TokenBinding2(1001, a, 2, 22, bob.data(), resv), zcv::kAccepted);
  EXPECT_TRUE(IsResv(resv));
  ASSERT_EQ(L.TokenBinding2Next(1001, a, a1, 3, 33, carol.data(), resv), zcv::kAccepted);
  EXPECT_TRUE(IsResv(resv));

  // The binding list, with one and with two passwords.
  pTokenBindInfo rows[zcv::kMaxBindRows] = {};
  rows[0].Reserved = 77;
  int count = -1;
  ASSERT_EQ(L.TokenBindInfoQuery(1001, a, &count, rows), zcv::kAccepted);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(rows[0].Reserved, 77);
  EXPECT_EQ(rows[0].AppNo, 1);
  EXPECT_EQ(rows[0].AppNo2, 11);
  EXPECT_STREQ(rows[0].Account, "alice");
  EXPECT_STREQ(rows[2].Account, "carol");
  EXPECT_STREQ(rows[2].Bindtime, "2023-11-14 22:13:20");
  count = -1;
  ASSERT_EQ(L.TokenBindInfoQueryNext(1001, a, a1, &count, rows), zcv::kAccepted);
  EXPECT_EQ(count, 3);

  // Unbinding: with the service number and one or two passwords.
  EXPECT_EQ(L.TokenUnBinding(1001, sn1001.data(), a, 2, 22, bob.data()), zcv::kAccepted);
  EXPECT_EQ(L.TokenUnBinding2(1001, sn1001.data(), a, 3, 33, carol.data()), zcv::kAccepted);
  ASSERT_EQ(L.TokenBinding(1001, a, 4, 44, bob.data(), resv), zcv::kAccepted);
  EXPECT_EQ(L.TokenUnBinding2Next(1001, sn1001.data(), a, a1, 4, 44, bob.data()), zcv::kAccepted);
  // Without a password, and with the reserved password of the binding.
  ASSERT_EQ(L.TokenBinding(1001, a, 5, 55, carol.data(), resv), zcv::kAccepted);
  EXPECT_EQ(L.TokenUnBindingEx(1001, 5, 55, carol.data()), zcv::kAccepted);
  EXPECT_EQ(L.TokenUnBindingEx2(1001, 1, 11, alice.data(), alice_resv.data()), zcv::kAccepted);
  EXPECT_TRUE(service_->Bindings(1001).empty());

  // Holder profile.
  std::string bea = "Bea", addr = "1%20Main%20St";  // escaped by the host: blanks are refused
  EXPECT_EQ(L.TokenModifyInfo(1001, a, bea.data(), 2, id.data(), nullptr, nullptr, nullptr, nullptr,
                              addr.data()),
            zcv::kAccepted);
  EXPECT_EQ(service_->FindCard(1001)->profile.address, "1 Main St");
  EXPECT_EQ(L.TokenModifyInfoNext(1003, b, b1, ann.data(), 1, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr),
            zcv::kAccepted);
  EXPECT_EQ(service_->FindCard(1003)->profile.user_name, "Ann");

  // Account links of both kinds.
  std::memset(resv, 0, sizeof resv);
  EXPECT_EQ(L.TokenBindEsale(1001, a, resv), zcv::kAccepted);
  EXPECT_TRUE(IsResv(resv));
  std::memset(resv, 0, sizeof resv);
  EXPECT_EQ(L.TokenBindOther(1001, a, resv), zcv::kAccepted);
  EXPECT_TRUE(IsResv(resv));
  std::memset(resv, 0, sizeof resv);
  EXPECT_EQ(L.TokenBindEsaleNext(1003, b, b1, resv), zcv::kAccepted);
  EXPECT_TRUE(IsResv(resv));
  std::memset(resv, 0, sizeof resv);
  EXPECT_EQ(L.TokenBindOtherNext(1003, b, b1, resv), zcv::kAccepted);
  EXPECT_TRUE(IsResv(resv));

  // Status, loss and its withdrawal (one and two passwords).
  int status = -1;
  std::memset(expire, 0, sizeof expire);
  ASSERT_EQ(L.TokenStatus(1001, status, expire), zcv::kAccepted);
  EXPECT_EQ(status, static_cast<int>(CardState::kEnabled));
  EXPECT_EQ(expire, LocalText(kExpire));
  EXPECT_EQ(L.TokenLoss(1001, sn1001.data(), 1, 0, 0, nullptr, op.data()), zcv::kAccepted);
  EXPECT_EQ(service_->FindCard(1001)->state, CardState::kLost);
  EXPECT_EQ(L.TokenUnLoss(1001, sn1001.data(), a, op.data()), zcv::kAccepted);
  EXPECT_EQ(L.TokenLoss(1001, sn1001.data(), 1, 0, 0, alice.data(), nullptr), zcv::kAccepted);
  EXPECT_EQ(L.TokenUnLossNext(1001, sn1001.data(), a, a1, nullptr), zcv::kAccepted);
  EXPECT_EQ(service_->FindCard(1001)->state, CardState::kEnabled);

  // Replacement by new cards, proven with the new cards' codes.
  EXPECT_EQ(L.TokenChange(1001, sn1001.data(), sn2002.data(), Code(kSecretC)), zcv::kAccepted);
  EXPECT_EQ(
      L.TokenChangeNext(1003, sn1003.data(), sn2003.data(), Code(kSecretD), Code(kSecretD, 1)),
      zcv::kAccepted);
  EXPECT_EQ(service_->FindCard(2003)->profile.user_name, "Ann");

  // Taking the replacement out of service needs the holder's document number.
  EXPECT_EQ(L.TokenDisable(2002, sn2002.data(), id.data(), 0, 0, nullptr, op.data()),
            zcv::kAccepted);
  ASSERT_EQ(L.TokenStatus(2002, status, expire), zcv::kAccepted);
  EXPECT_EQ(status, static_cast<int>(CardState::kDisabled));
  EXPECT_EQ(LogText(), "");  // no attempt failed
}

TEST_F(OperationsTest, VerdictsPassThroughAndLeaveOutputsAlone) {
  auto& L = lib();
  char expire[zcv::kExpireTextBytes] = "caller's";
  EXPECT_EQ(L.TokenAuth(1001, Code(kSecretA), expire), 2003u);  // not enabled yet
  EXPECT_EQ(L.TokenAuth(9999, 1, expire), 2001u);
  EXPECT_STREQ(expire, "caller's");

  std::string sn = "SN1001";
  ASSERT_EQ(L.TokenEnable(sn.data(), Code(kSecretA), nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, expire),
            zcv::kAccepted);
  EXPECT_EQ(L.TokenAuth(1001, Code(kSecretA, 3), expire), 2002u);
  char resv[zcv::kResvPassWordBytes] = "keep";
  std::string acct = "alice";
  EXPECT_EQ(L.TokenBinding(1001, Code(kSecretA, -3), 1, 1, acct.data(), resv), 2002u);
  EXPECT_STREQ(resv, "keep");
  pTokenBindInfo rows[zcv::kMaxBindRows] = {};
  int count = 5;
  EXPECT_EQ(L.TokenBindInfoQuery(1001, 0, &count, rows), 2002u);
  EXPECT_EQ(count, 0);

  // Arguments the library refuses never reach a server.
  std::uint64_t before = Connections();
  std::string long_account(21, 'x');
  EXPECT_EQ(L.TokenBinding(1001, 1, 1, 1, long_account.data(), resv), zcv::kArgumentRefused);
  EXPECT_EQ(L.TokenAuth(1001, 1, nullptr), zcv::kArgumentRefused);
  EXPECT_EQ(Connections(), before);
}

}  // namespace
}  // namespace zcv::e2e
