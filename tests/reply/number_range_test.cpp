// Every number field of every reader: a value that fits its 32-bit field is
// read, one that does not makes the reply unreadable instead of wrapping
// into another value.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "reply/reply_readers.h"

namespace zcv {
namespace {

using Read = int (*)(const std::string& body, unsigned* code);

int ReadResult(const std::string& body, unsigned* code) {
  int expire = 0;
  return ResultReplyReader(body.c_str(), code, &expire);
}
int ReadPassword(const std::string& body, unsigned* code) {
  char resvPassWord[16] = {};
  return PasswordReplyReader(body.c_str(), code, resvPassWord);
}
int ReadBindInfo(const std::string& body, unsigned* code) {
  int rowCount = 0;
  pTokenBindInfo rows[kMaxBindRows] = {};
  return BindInfoReplyReader(body.c_str(), code, &rowCount, rows);
}
int ReadStatus(const std::string& body, unsigned* code) {
  int expire = 0;
  int status = 0;
  return StatusReplyReader(body.c_str(), code, &expire, &status);
}

std::string Accepted(const std::string& elements) {
  return "<R><Result>9999</Result>" + elements + "</R>";
}
std::string Row(const std::string& appNo, const std::string& appNo2) {
  return Accepted("<RowCount>1</RowCount><AppNo>" + appNo + "</AppNo><AppNo2>" + appNo2 +
                  "</AppNo2><Account>a</Account><Bindtime>t</Bindtime>");
}
std::string Status(const std::string& expire, const std::string& status) {
  return Accepted("<ExpireTime>" + expire + "</ExpireTime><CardStatus>" + status + "</CardStatus>");
}

struct FieldCase {
  const char* name;
  Read read;
  std::string body;
  unsigned code;  // kNoAnswer: the reply is unreadable
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

class NumberRangeTest : public testing::TestWithParam<FieldCase> {};

TEST_P(NumberRangeTest, ValuesBeyondTheFieldMakeTheReplyUnreadable) {
  const FieldCase& c = GetParam();
  unsigned code = 0;
  EXPECT_EQ(c.read(c.body, &code), c.code == kNoAnswer ? 0 : 1);
  EXPECT_EQ(code, c.code);
}

const std::string kWrapsTo9999 = "<R><Result>4294977295</Result></R>";

INSTANTIATE_TEST_SUITE_P(
    Fields, NumberRangeTest,
    testing::Values(
        FieldCase{"ResultLargestCode", ReadResult, "<R><Result>4294967295</Result></R>",
                  4294967295u},
        FieldCase{"ResultResultReader", ReadResult, kWrapsTo9999, kNoAnswer},
        FieldCase{"ResultPasswordReader", ReadPassword, kWrapsTo9999, kNoAnswer},
        FieldCase{"ResultBindInfoReader", ReadBindInfo, kWrapsTo9999, kNoAnswer},
        FieldCase{"ResultStatusReader", ReadStatus, kWrapsTo9999, kNoAnswer},
        FieldCase{"ExpireTimeLargest", ReadResult,
                  Accepted("<ExpireTime> +2147483647 days</ExpireTime>"), 9999},
        FieldCase{"ExpireTimeBeyond", ReadResult, Accepted("<ExpireTime>2147483648</ExpireTime>"),
                  kNoAnswer},
        FieldCase{"StatusExpireTimeBeyond", ReadStatus, Status("4294967296", "1"), kNoAnswer},
        FieldCase{"CardStatusBeyond", ReadStatus, Status("0", "-2147483649"), kNoAnswer},
        FieldCase{"RowCountBeyond", ReadBindInfo,
                  Accepted("<RowCount>4294967297</RowCount>"),  // would wrap to 1
                  kNoAnswer},
        FieldCase{"AppNoSmallest", ReadBindInfo, Row("-2147483648", "2147483647"), 9999},
        FieldCase{"AppNoBeyond", ReadBindInfo, Row("2147483648", "1"), kNoAnswer},
        FieldCase{"AppNo2Beyond", ReadBindInfo, Row("1", "-2147483649"), kNoAnswer}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zcv
