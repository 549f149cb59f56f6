// The plain reply reader: the verdict as the caller's result code and the
// expiry on success, with 1012 for every reply that cannot be read.
#include <gtest/gtest.h>

#include <ostream>

#include "reply/reply_readers.h"

namespace zcv {
namespace {

constexpr int kUntouched = 12345;

struct ResultCase {
  const char* name;
  const char* body;
  bool askExpire;
  int returned;
  unsigned code;
  int expire;
};

void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }

class ResultReplyReaderTest : public testing::TestWithParam<ResultCase> {};

TEST_P(ResultReplyReaderTest, Reads) {
  const ResultCase& c = GetParam();
  unsigned code = 0;
  int expire = kUntouched;
  EXPECT_EQ(ResultReplyReader(c.body, &code, c.askExpire ? &expire : nullptr), c.returned);
  EXPECT_EQ(code, c.code);
  EXPECT_EQ(expire, c.expire);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ResultReplyReaderTest,
    testing::Values(
        ResultCase{"accepted_with_expiry",
                   "<R><Result>9999</Result><ExpireTime>1700000000</ExpireTime></R>", true, 1, 9999,
                   1700000000},
        ResultCase{"verdict_zeroes_expiry", "<R><Result>5</Result><ExpireTime>17</ExpireTime></R>",
                   true, 1, 5, 0},
        ResultCase{"expiry_not_asked_not_needed", "<R><Result>9999</Result></R>", false, 1, 9999,
                   kUntouched},
        ResultCase{"expiry_asked_but_missing", "<R><Result>9999</Result></R>", true, 0, 1012,
                   kUntouched},
        ResultCase{"negative_expiry", "<R><Result>9999</Result><ExpireTime>-5</ExpireTime></R>",
                   true, 1, 9999, -5},
        ResultCase{"leading_digits", "<R><Result> 42abc</Result></R>", false, 1, 42, kUntouched},
        ResultCase{"letters_read_as_zero", "<R><Result>abc</Result></R>", true, 1, 0, 0},
        ResultCase{"empty_read_as_zero", "<R><Result/></R>", false, 1, 0, kUntouched},
        ResultCase{"negative_as_twos_complement", "<R><Result>-1</Result></R>", false, 1,
                   4294967295u, kUntouched},
        ResultCase{"overflow_unreadable", "<R><Result>4294967297</Result></R>", false, 0, 1012,
                   kUntouched},
        ResultCase{"root_is_result", "<Result>7</Result>", true, 1, 7, 0},
        ResultCase{"nested_result", "<a><b><c><Result>8</Result></c></b></a>", true, 1, 8, 0},
        ResultCase{"first_of_two", "<a><b><Result>3</Result></b><Result>4</Result></a>", false, 1,
                   3, kUntouched},
        ResultCase{"cdata_and_blanks",
                   "<a><Result>\r\n <![CDATA[9999]]>\t</Result>"
                   "<ExpireTime> 60 </ExpireTime></a>",
                   true, 1, 9999, 60},
        ResultCase{"no_result", "<R><ExpireTime>1</ExpireTime></R>", true, 0, 1012, kUntouched},
        ResultCase{"malformed", "<R><Result>9999</Result>", true, 0, 1012, kUntouched},
        ResultCase{"not_xml", "HTTP error page", true, 0, 1012, kUntouched}),
    [](const testing::TestParamInfo<ResultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zcv
