// The binding reply reader: the reserved password reaches the caller's
// 7-byte buffer only on success and only when it fits.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "reply/reply_readers.h"

namespace zcv {
namespace {

// The caller's buffer and one guard byte after it.
constexpr std::size_t kGuardedBytes = kResvPassWordBytes + 1;
const std::string kUntouched(kGuardedBytes, 'Z');

struct PasswordCase {
  const char* name;
  const char* body;
  bool giveBuffer;
  int returned;
  unsigned code;
  std::string buffer;  // all kGuardedBytes bytes afterwards
};

void PrintTo(const PasswordCase& c, std::ostream* os) { *os << c.name; }

class PasswordReplyReaderTest : public testing::TestWithParam<PasswordCase> {};

TEST_P(PasswordReplyReaderTest, Reads) {
  const PasswordCase& c = GetParam();
  std::string buffer = kUntouched;
  unsigned code = 0;
  EXPECT_EQ(PasswordReplyReader(c.body, &code, c.giveBuffer ? &buffer[0] : nullptr), c.returned);
  EXPECT_EQ(code, c.code);
  EXPECT_EQ(buffer, c.buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, PasswordReplyReaderTest,
    testing::Values(
        PasswordCase{"six_bytes", "<R><Result>9999</Result><ResvPassWord>abc123</ResvPassWord></R>",
                     true, 1, 9999, std::string("abc123\0Z", kGuardedBytes)},
        PasswordCase{"seven_bytes_refused",
                     "<R><Result>9999</Result><ResvPassWord>abcdefg</ResvPassWord></R>", true, 0,
                     1012, kUntouched},
        PasswordCase{"empty_element", "<R><Result>9999</Result><ResvPassWord/></R>", true, 1, 9999,
                     std::string("\0ZZZZZZZ", kGuardedBytes)},
        PasswordCase{"blanks_trimmed",
                     "<R><Result>9999</Result><ResvPassWord>\n  ab12 </ResvPassWord></R>", true, 1,
                     9999, std::string("ab12\0ZZZ", kGuardedBytes)},
        PasswordCase{"high_bytes_unchanged",
                     "<R><Result>9999</Result><ResvPassWord>\xb6\xc1\xff</ResvPassWord></R>", true,
                     1, 9999, std::string("\xb6\xc1\xff\0ZZZZ", kGuardedBytes)},
        PasswordCase{"verdict_leaves_buffer",
                     "<R><Result>3</Result><ResvPassWord>abc</ResvPassWord></R>", true, 1, 3,
                     kUntouched},
        PasswordCase{"null_buffer_needs_no_password", "<R><Result>9999</Result></R>", false, 1,
                     9999, kUntouched},
        PasswordCase{"missing_password", "<R><Result>9999</Result></R>", true, 0, 1012, kUntouched},
        PasswordCase{"malformed", "<R><Result>9999</Result><ResvPassWord>a</R>", true, 0, 1012,
                     kUntouched}),
    [](const testing::TestParamInfo<PasswordCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zcv
