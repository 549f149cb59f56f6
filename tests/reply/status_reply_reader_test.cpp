// The card status reader: expiry and status are stored together or not at all.
#include <gtest/gtest.h>

#include <ostream>

#include "reply/reply_readers.h"

namespace zcv {
namespace {

constexpr int kUntouched = 12345;

struct StatusCase {
  const char* name;
  const char* body;
  int returned;
  unsigned code;
  int expire;
  int status;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class StatusReplyReaderTest : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusReplyReaderTest, Reads) {
  const StatusCase& c = GetParam();
  unsigned code = 0;
  int expire = kUntouched;
  int status = kUntouched;
  EXPECT_EQ(StatusReplyReader(c.body, &code, &expire, &status), c.returned);
  EXPECT_EQ(code, c.code);
  EXPECT_EQ(expire, c.expire);
  EXPECT_EQ(status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StatusReplyReaderTest,
    testing::Values(
        StatusCase{
            "both_present",
            "<R><Result>9999</Result><ExpireTime>0</ExpireTime><CardStatus>2</CardStatus></R>", 1,
            9999, 0, 2},
        StatusCase{
            "status_with_letters",
            "<R><CardStatus>3ab</CardStatus><ExpireTime>9</ExpireTime><Result>9999</Result></R>", 1,
            9999, 9, 3},
        StatusCase{"status_missing", "<R><Result>9999</Result><ExpireTime>5</ExpireTime></R>", 0,
                   1012, kUntouched, kUntouched},
        StatusCase{"expiry_missing", "<R><Result>9999</Result><CardStatus>2</CardStatus></R>", 0,
                   1012, kUntouched, kUntouched},
        StatusCase{"verdict_leaves_status",
                   "<R><Result>1</Result><ExpireTime>5</ExpireTime><CardStatus>2</CardStatus></R>",
                   1, 1, 0, kUntouched}),
    [](const testing::TestParamInfo<StatusCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zcv
