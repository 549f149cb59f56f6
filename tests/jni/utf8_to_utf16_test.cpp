// Decoding service bytes for Java: valid UTF-8 of every length, and one
// U+FFFD per maximal ill-formed part, whatever the bytes are.
#include "jni/utf8_to_utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace zcv {
namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u16string text;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class Utf8ToUtf16Test : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8ToUtf16Test, Decodes) { EXPECT_EQ(Utf8ToUtf16(GetParam().bytes), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8ToUtf16Test,
    testing::Values(DecodeCase{"empty", "", u""}, DecodeCase{"ascii", "123456", u"123456"},
                    DecodeCase{"two_bytes", "\xc3\xa9", u"\u00e9"},
                    DecodeCase{"three_bytes", "\xe4\xb8\xad", u"\u4e2d"},
                    DecodeCase{"four_bytes_pair", "\xf0\x9f\x98\x80", u"\U0001F600"},
                    DecodeCase{"highest_code_point", "\xf4\x8f\xbf\xbf", u"\U0010FFFF"},
                    DecodeCase{"lowest_of_each_length", "\xc2\x80\xe0\xa0\x80\xf0\x90\x80\x80",
                               u"\u0080\u0800\U00010000"},
                    DecodeCase{"stray_bytes_and_cut_lead", "\xff\xfe\xc3", u"\ufffd\ufffd\ufffd"},
                    DecodeCase{"lone_continuation", "a\x80z", u"a\ufffdz"},
                    DecodeCase{"overlong_two_bytes", "\xc0\xaf", u"\ufffd\ufffd"},
                    DecodeCase{"overlong_three_bytes", "\xe0\x80\xaf", u"\ufffd\ufffd\ufffd"},
                    DecodeCase{"overlong_four_bytes", "\xf0\x8f\xbf\xbf",
                               u"\ufffd\ufffd\ufffd\ufffd"},
                    DecodeCase{"encoded_surrogate", "\xed\xa0\x80", u"\ufffd\ufffd\ufffd"},
                    DecodeCase{"above_highest", "\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},
                    DecodeCase{"f5_lead", "\xf5\x80", u"\ufffd\ufffd"},
                    DecodeCase{"truncated_three_is_one_part", "\xe4\xb8z", u"\ufffdz"},
                    DecodeCase{"truncated_four_is_one_part", "\xf0\x9f\x98", u"\ufffd"},
                    DecodeCase{"new_lead_ends_a_sequence", "\xe4\xc3\xa9", u"\ufffd\u00e9"},
                    DecodeCase{"nul_kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)}));

}  // namespace
}  // namespace zcv
