// Rules of the simulated service: card state transitions, passwords,
// binding limits, unbinding, replacement and account links.
#include "zcvsim/token_service.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zcvsim/totp.h"

namespace zcv::sim {
namespace {

constexpr std::int64_t kNow = 1700000000;
constexpr std::int64_t kCard = 1001;
const char kServiceNo[] = "SN-1001";
const Secret kSecret = *SecretFromHex("3132333435363738393031323334353637383930");

class TokenServiceTest : public ::testing::Test {
 protected:
  TokenServiceTest()
      : service_(
            ":memory:", [this] { return now_; },
            [this] {
              char text[16];
              std::snprintf(text, sizeof text, "%06d", ++issued_);
              return std::string(text);
            }) {}

  void Add(std::int64_t card_no, const std::string& service_no, CardState state,
           const Secret& secret = kSecret) {
    Card card;
    card.card_no = card_no;
    card.service_no = service_no;
    card.secret = secret;
    card.state = state;
    card.expire_time = kNow + 3600;
    ASSERT_TRUE(service_.AddCard(card));
  }

  Codes Now() const { return Codes{OtpAtStep(kSecret, OtpStep(now_)), std::nullopt}; }
  Codes Pair() const {
    return Codes{OtpAtStep(kSecret, OtpStep(now_)), OtpAtStep(kSecret, OtpStep(now_) + 1)};
  }
  Codes Wrong() const { return Codes{Now().first == 1 ? 2 : 1, std::nullopt}; }
  CardState StateOf(std::int64_t card_no) { return service_.FindCard(card_no)->state; }

  std::int64_t now_ = kNow;
  int issued_ = 0;
  TokenService service_;
};

TEST_F(TokenServiceTest, LifecycleVerdictsFromEveryState) {
  enum class Action { kAuth, kEnable, kDisable, kLoss, kUnLoss };
  struct Case {
    CardState from;
    Action action;
    Verdict verdict;
    CardState to;
  };
  const Case cases[] = {
      {CardState::kNew, Action::kAuth, Verdict::kCardNotEnabled, CardState::kNew},
      {CardState::kNew, Action::kEnable, Verdict::kAccepted, CardState::kEnabled},
      {CardState::kNew, Action::kDisable, Verdict::kCardNotEnabled, CardState::kNew},
      {CardState::kNew, Action::kLoss, Verdict::kCardNotEnabled, CardState::kNew},
      {CardState::kNew, Action::kUnLoss, Verdict::kCardNotLost, CardState::kNew},
      {CardState::kEnabled, Action::kAuth, Verdict::kAccepted, CardState::kEnabled},
      {CardState::kEnabled, Action::kEnable, Verdict::kAlreadyEnabled, CardState::kEnabled},
      {CardState::kEnabled, Action::kDisable, Verdict::kAccepted, CardState::kDisabled},
      {CardState::kEnabled, Action::kLoss, Verdict::kAccepted, CardState::kLost},
      {CardState::kEnabled, Action::kUnLoss, Verdict::kCardNotLost, CardState::kEnabled},
      {CardState::kDisabled, Action::kAuth, Verdict::kCardDisabled, CardState::kDisabled},
      {CardState::kDisabled, Action::kEnable, Verdict::kAccepted, CardState::kEnabled},
      {CardState::kDisabled, Action::kDisable, Verdict::kCardDisabled, CardState::kDisabled},
      {CardState::kDisabled, Action::kLoss, Verdict::kCardDisabled, CardState::kDisabled},
      {CardState::kLost, Action::kAuth, Verdict::kCardLost, CardState::kLost},
      {CardState::kLost, Action::kEnable, Verdict::kCardLost, CardState::kLost},
      {CardState::kLost, Action::kDisable, Verdict::kAccepted, CardState::kDisabled},
      {CardState::kLost, Action::kLoss, Verdict::kCardLost, CardState::kLost},
      {CardState::kLost, Action::kUnLoss, Verdict::kAccepted, CardState::kEnabled},
  };
  std::int64_t card_no = 5000;
  for (const Case& c : cases) {
    ++card_no;
    std::string service_no = "S" + std::to_string(card_no);
    Add(card_no, service_no, c.from);
    Outcome o;
    switch (c.action) {
      case Action::kAuth:
        o = service_.Auth(card_no, Now());
        break;
      case Action::kEnable:
        o = service_.Enable(service_no, Now(), Profile{});
        break;
      case Action::kDisable:
        o = service_.Disable(card_no, service_no, "any");
        break;
      case Action::kLoss:
        o = service_.Loss(card_no, service_no);
        break;
      case Action::kUnLoss:
        o = service_.UnLoss(card_no, service_no, Now());
        break;
    }
    EXPECT_EQ(o.verdict, c.verdict) << "card " << card_no;
    EXPECT_EQ(StateOf(card_no), c.to) << "card " << card_no;
  }
}

TEST_F(TokenServiceTest, AuthenticationChecksCardPasswordAndExpiry) {
  Add(kCard, kServiceNo, CardState::kEnabled);
  Outcome ok = service_.Auth(kCard, Now());
  EXPECT_EQ(ok.verdict, Verdict::kAccepted);
  EXPECT_EQ(ok.expire_time, kNow + 3600);
  EXPECT_EQ(service_.Auth(kCard, Pair()).verdict, Verdict::kAccepted);
  EXPECT_EQ(service_.Auth(kCard, Wrong()).verdict, Verdict::kWrongPassword);
  EXPECT_EQ(service_.Auth(kCard, Codes{Pair().second.value(), Pair().first}).verdict,
            Verdict::kWrongPassword);
  EXPECT_EQ(service_.Auth(9999, Now()).verdict, Verdict::kUnknownCard);

  now_ = kNow + 3600;  // the expiry instant itself is past
  EXPECT_EQ(service_.Auth(kCard, Now()).verdict, Verdict::kCardExpired);
  Outcome status = service_.Status(kCard);
  EXPECT_EQ(status.verdict, Verdict::kAccepted);
  EXPECT_EQ(status.card_status, static_cast<int>(CardState::kEnabled));
}

TEST_F(TokenServiceTest, EnableStoresProfileAndAnswersExpiry) {
  Add(kCard, kServiceNo, CardState::kNew);
  Profile p;
  p.user_name = "Ann";
  p.id = "ID-7";
  EXPECT_EQ(service_.Enable(kServiceNo, Wrong(), p).verdict, Verdict::kWrongPassword);
  EXPECT_EQ(service_.Enable("nobody", Now(), p).verdict, Verdict::kUnknownCard);
  Outcome o = service_.Enable(kServiceNo, Pair(), p);
  EXPECT_EQ(o.verdict, Verdict::kAccepted);
  EXPECT_EQ(o.expire_time, kNow + 3600);
  EXPECT_EQ(service_.FindCard(kCard)->profile.user_name, "Ann");
  // The registered document number is the identity code that disables.
  EXPECT_EQ(service_.Disable(kCard, kServiceNo, "ID-8").verdict, Verdict::kIdCodeMismatch);
  EXPECT_EQ(service_.Disable(kCard, "other", "ID-7").verdict, Verdict::kServiceNoMismatch);
  EXPECT_EQ(service_.Disable(kCard, kServiceNo, "ID-7").verdict, Verdict::kAccepted);
}

TEST_F(TokenServiceTest, BindingsAreListedInOrderUpToTen) {
  Add(kCard, kServiceNo, CardState::kEnabled);
  for (int i = 0; i < static_cast<int>(kMaxBindings); ++i) {
    Outcome o = service_.Bind(kCard, Now(), Account{i, 100 + i, "acct" + std::to_string(i)});
    ASSERT_EQ(o.verdict, Verdict::kAccepted) << i;
    char expected[16];
    std::snprintf(expected, sizeof expected, "%06d", i + 1);
    EXPECT_EQ(o.resv_password, expected);
  }
  EXPECT_EQ(service_.Bind(kCard, Now(), Account{0, 100, "acct0"}).verdict, Verdict::kAlreadyBound);
  EXPECT_EQ(service_.Bind(kCard, Now(), Account{50, 51, "one-more"}).verdict,
            Verdict::kTooManyBindings);

  Outcome info = service_.BindInfo(kCard, Pair());
  ASSERT_EQ(info.verdict, Verdict::kAccepted);
  ASSERT_EQ(info.rows->size(), kMaxBindings);
  EXPECT_EQ((*info.rows)[3].app_no, 3);
  EXPECT_EQ((*info.rows)[3].app_no2, 103);
  EXPECT_EQ((*info.rows)[3].account, "acct3");
  EXPECT_EQ((*info.rows)[3].bind_time, "2023-11-14 22:13:20");
  EXPECT_EQ(service_.BindInfo(kCard, Wrong()).verdict, Verdict::kWrongPassword);
}

TEST_F(TokenServiceTest, UnbindingNeedsMatchingServiceNumberPasswordOrReservedPassword) {
  Add(kCard, kServiceNo, CardState::kEnabled);
  const Account a{1, 2, "alice"};
  std::string resv = *service_.Bind(kCard, Now(), a).resv_password;

  EXPECT_EQ(service_.Unbind(kCard, std::nullopt, Now(), a).verdict, Verdict::kServiceNoMismatch);
  EXPECT_EQ(service_.Unbind(kCard, std::string("SN-9"), Now(), a).verdict,
            Verdict::kServiceNoMismatch);
  EXPECT_EQ(service_.Unbind(kCard, std::string(kServiceNo), Wrong(), a).verdict,
            Verdict::kWrongPassword);
  EXPECT_EQ(service_.Unbind(kCard, std::string(kServiceNo), Now(), Account{1, 3, "alice"}).verdict,
            Verdict::kBindingNotFound);
  EXPECT_EQ(service_.UnbindEx(kCard, a, std::string("000000")).verdict,
            Verdict::kWrongReservedPassword);
  EXPECT_EQ(service_.UnbindEx(kCard, a, resv).verdict, Verdict::kAccepted);
  EXPECT_EQ(service_.UnbindEx(kCard, a, std::nullopt).verdict, Verdict::kBindingNotFound);

  // Without a password the binding goes even while the card is lost.
  service_.Bind(kCard, Now(), a);
  ASSERT_EQ(service_.Loss(kCard, kServiceNo).verdict, Verdict::kAccepted);
  EXPECT_EQ(service_.UnbindEx(kCard, a, std::nullopt).verdict, Verdict::kAccepted);
  EXPECT_TRUE(service_.Bindings(kCard).empty());
}

TEST_F(TokenServiceTest, ChangeMovesEverythingToTheNewCard) {
  const Secret new_secret = *SecretFromHex("0102030405060708090a");
  Add(kCard, kServiceNo, CardState::kEnabled);
  Add(2002, "SN-2002", CardState::kNew, new_secret);
  Profile p;
  p.user_name = "Bob";
  ASSERT_EQ(service_.ModifyInfo(kCard, Now(), p).verdict, Verdict::kAccepted);
  service_.Bind(kCard, Now(), Account{1, 2, "bob"});
  ASSERT_EQ(service_.Link(kCard, Now(), LinkKind::kEsale).verdict, Verdict::kAccepted);
  ASSERT_EQ(service_.Loss(kCard, kServiceNo).verdict, Verdict::kAccepted);

  Codes new_code{OtpAtStep(new_secret, OtpStep(now_)), std::nullopt};
  EXPECT_EQ(service_.Change(kCard, "SN-x", "SN-2002", new_code).verdict,
            Verdict::kServiceNoMismatch);
  EXPECT_EQ(service_.Change(kCard, kServiceNo, "SN-2002", Now()).verdict,
            Verdict::kWrongPassword);  // the old card's code proves nothing
  EXPECT_EQ(service_.Change(kCard, kServiceNo, "SN-none", new_code).verdict,
            Verdict::kReplacementUnavailable);
  ASSERT_EQ(service_.Change(kCard, kServiceNo, "SN-2002", new_code).verdict, Verdict::kAccepted);

  EXPECT_EQ(StateOf(kCard), CardState::kDisabled);
  EXPECT_EQ(StateOf(2002), CardState::kEnabled);
  EXPECT_EQ(service_.FindCard(2002)->profile.user_name, "Bob");
  EXPECT_EQ(service_.Bindings(2002).size(), 1u);
  EXPECT_TRUE(service_.Bindings(kCard).empty());
  EXPECT_EQ(service_.Link(2002, new_code, LinkKind::kEsale).verdict, Verdict::kAlreadyLinked);
  // The replacement is no longer new, so it cannot be used twice.
  EXPECT_EQ(service_.Change(kCard, kServiceNo, "SN-2002", new_code).verdict,
            Verdict::kCardDisabled);
}

TEST_F(TokenServiceTest, AccountLinksAreOnePerKind) {
  Add(kCard, kServiceNo, CardState::kEnabled);
  Outcome esale = service_.Link(kCard, Now(), LinkKind::kEsale);
  Outcome other = service_.Link(kCard, Pair(), LinkKind::kOther);
  EXPECT_EQ(esale.verdict, Verdict::kAccepted);
  EXPECT_EQ(other.verdict, Verdict::kAccepted);
  EXPECT_NE(esale.resv_password, other.resv_password);
  EXPECT_EQ(service_.Link(kCard, Now(), LinkKind::kOther).verdict, Verdict::kAlreadyLinked);
  EXPECT_EQ(service_.Link(kCard, Wrong(), LinkKind::kEsale).verdict, Verdict::kWrongPassword);
}

TEST(TokenServicePersistenceTest, StateSurvivesReopening) {
  // The database is made only in a folder that nobody else may write to.
  std::string folder = ::testing::TempDir() + "zcvsim_persist_test.XXXXXX";
  ASSERT_NE(::mkdtemp(&folder[0]), nullptr);
  const std::string path = folder + "/cards.db";
  Clock clock = [] { return kNow; };
  {
    TokenService service(path, clock);
    Card card;
    card.card_no = kCard;
    card.service_no = kServiceNo;
    card.secret = kSecret;
    card.state = CardState::kEnabled;
    card.expire_time = kNow + 60;
    ASSERT_TRUE(service.AddCard(card));
    EXPECT_FALSE(service.AddCard(card));
    ASSERT_EQ(service.Loss(kCard, kServiceNo).verdict, Verdict::kAccepted);
  }
  TokenService reopened(path, clock);
  EXPECT_EQ(reopened.FindCard(kCard)->state, CardState::kLost);
  EXPECT_EQ(reopened.FindCard(kCard)->secret, kSecret);
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  std::remove(folder.c_str());
}

}  // namespace
}  // namespace zcv::sim
