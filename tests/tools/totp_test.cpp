// One-time passwords: the published TOTP SHA1 vectors, our six digits and
// 60-second step, drift and the consecutive-pair check.
#include "zcvsim/totp.h"

#include <gtest/gtest.h>

namespace zcv::sim {
namespace {

const Secret kRfcSecret = *SecretFromHex("3132333435363738393031323334353637383930");

struct Vector {
  std::int64_t time;
  std::uint32_t eight_digits;
};

// TOTP SHA1 reference values: 30-second steps, eight digits.
constexpr Vector kVectors[] = {
    {59, 94287082},         {1111111109, 7081804},  {1111111111, 14050471},
    {1234567890, 89005924}, {2000000000, 69279037}, {20000000000, 65353130},
};

TEST(TotpTest, MatchesReferenceVectorsWithEightAndSixDigits) {
  for (const Vector& v : kVectors) {
    EXPECT_EQ(Totp(kRfcSecret, v.time, 30, 8), v.eight_digits) << v.time;
    // Six digits are the low six of the same truncated value.
    EXPECT_EQ(Totp(kRfcSecret, v.time, 30, 6), v.eight_digits % 1000000) << v.time;
  }
}

TEST(TotpTest, StepsAreSixtySecondsAndFloorBeforeEpoch) {
  EXPECT_EQ(OtpStep(0), 0);
  EXPECT_EQ(OtpStep(59), 0);
  EXPECT_EQ(OtpStep(60), 1);
  EXPECT_EQ(OtpStep(-1), -1);
  // Step 1 is the reference vector's counter 1 (59 s at 30-second steps).
  EXPECT_EQ(OtpAtStep(kRfcSecret, 1), 94287082u % 1000000);
}

TEST(TotpTest, AcceptsOneStepOfDriftEitherWay) {
  const std::int64_t now = 1111111109;
  const std::int64_t step = OtpStep(now);
  struct Case {
    std::int64_t offset;
    bool accepted;
  } cases[] = {{-2, false}, {-1, true}, {0, true}, {1, true}, {2, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(VerifyOtp(kRfcSecret, now, OtpAtStep(kRfcSecret, step + c.offset)), c.accepted)
        << "offset " << c.offset;
  }
  EXPECT_FALSE(VerifyOtp(kRfcSecret, now, -1));
  EXPECT_FALSE(VerifyOtp(kRfcSecret, now, 1000000 + OtpAtStep(kRfcSecret, step)));
}

TEST(TotpTest, CodeWithLeadingZeroMatchesAsNumber) {
  // 1111111109 gives 07081804 with eight digits: 081804 with six.
  const std::int64_t now = std::int64_t{1111111109} / 30 * 60;  // our step = that counter
  ASSERT_EQ(OtpAtStep(kRfcSecret, OtpStep(now)), 81804u);
  EXPECT_EQ(FormatOtp(81804), "081804");
  EXPECT_TRUE(VerifyOtp(kRfcSecret, now, 81804));
}

TEST(TotpTest, PairMustBeTwoConsecutiveCodesWithinDrift) {
  const std::int64_t now = 2000000000;
  const std::int64_t s = OtpStep(now);
  auto code = [&](std::int64_t step) { return OtpAtStep(kRfcSecret, step); };
  EXPECT_TRUE(VerifyOtpPair(kRfcSecret, now, code(s), code(s + 1)));
  EXPECT_TRUE(VerifyOtpPair(kRfcSecret, now, code(s - 1), code(s)));
  EXPECT_TRUE(VerifyOtpPair(kRfcSecret, now, code(s + 1), code(s + 2)));
  EXPECT_FALSE(VerifyOtpPair(kRfcSecret, now, code(s + 1), code(s)));  // swapped
  EXPECT_FALSE(VerifyOtpPair(kRfcSecret, now, code(s), code(s)));      // same twice
  EXPECT_FALSE(VerifyOtpPair(kRfcSecret, now, code(s), code(s + 2)));  // gap
  EXPECT_FALSE(VerifyOtpPair(kRfcSecret, now, code(s + 2), code(s + 3)));
}

TEST(TotpTest, HexSecretsRoundTripAndRefuseBadText) {
  EXPECT_EQ(SecretToHex(*SecretFromHex("00ff10Ab")), "00ff10ab");
  const std::string bad_texts[] = {"", "0", "0g", "abc", "12 4", std::string("00\0ff", 5)};
  for (const std::string& bad : bad_texts) {
    EXPECT_FALSE(SecretFromHex(bad).has_value()) << bad;
  }
  EXPECT_EQ(GenerateSecret().size(), kGeneratedSecretBytes);
  EXPECT_NE(GenerateSecret(), GenerateSecret());
}

}  // namespace
}  // namespace zcv::sim
