// INI reading and in-place rewriting: the profile-file behaviours hosts rely
// on, and rewrites that change nothing but the named values.
#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <ostream>

namespace zcv::platform {
namespace {

struct ReadCase {
  const char* name;
  const char* text;
  const char* section;
  const char* key;
  std::size_t bytes;
  const char* expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class IniReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, ReadsValue) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(ReadIniValue(c.text, c.section, c.key, c.bytes), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    testing::Values(
        ReadCase{"plain", "[S]\nk=v\n", "S", "k", 29, "v"},
        ReadCase{"names_ignore_case", "[serverSET]\nSERVERip0=a\n", "ServerSet", "ServerIP0", 29,
                 "a"},
        ReadCase{"blanks_around_names_and_values", "  [ S ] \n \t k \t=  1.2.3.4 \t\n", "S", "k",
                 29, "1.2.3.4"},
        ReadCase{"double_quotes_removed", "[S]\nk=\"  x  \"\n", "S", "k", 29, "  x  "},
        ReadCase{"single_quotes_removed", "[S]\nk='x'\n", "S", "k", 29, "x"},
        ReadCase{"unmatched_quotes_kept", "[S]\nk=\"x'\n", "S", "k", 29, "\"x'"},
        ReadCase{"lone_quote_kept", "[S]\nk=\"\n", "S", "k", 29, "\""},
        ReadCase{"first_key_wins", "[S]\nk=1\nK=2\n", "S", "k", 29, "1"},
        ReadCase{"first_section_wins", "[S]\na=1\n[T]\nb=2\n[s]\nb=3\n", "S", "b", 29, ""},
        ReadCase{"other_section_not_seen", "[T]\nk=1\n[S]\nj=2\n", "S", "k", 29, ""},
        ReadCase{"keys_before_sections_ignored", "k=1\n[S]\nk=2\n", "S", "k", 29, "2"},
        ReadCase{"missing_key", "[S]\nj=1\n", "S", "k", 29, ""},
        ReadCase{"empty_value", "[S]\nk=\nk=2\n", "S", "k", 29, ""},
        ReadCase{"cut_to_buffer", "[S]\nk=abcdef\n", "S", "k", 4, "abc"},
        ReadCase{"cut_after_unquoting", "[S]\nk=\"abcdef\"\n", "S", "k", 4, "abc"},
        ReadCase{"buffer_of_one", "[S]\nk=abc\n", "S", "k", 1, ""},
        ReadCase{"comments_ignored", "[S]\n;k=1\n  #k=2\nk=3\n", "S", "k", 29, "3"},
        ReadCase{"crlf_lines", "[S]\r\nk=v\r\n", "S", "k", 29, "v"},
        ReadCase{"no_final_line_end", "[S]\nk=v", "S", "k", 29, "v"},
        ReadCase{"line_without_equals_skipped", "[S]\nk\nk=2\n", "S", "k", 29, "2"},
        ReadCase{"equals_in_value", "[S]\nk=a=b\n", "S", "k", 29, "a=b"},
        ReadCase{"semicolon_inside_value_kept", "[S]\nk=80 ; old\n", "S", "k", 29, "80 ; old"},
        ReadCase{"high_bytes_pass_through", "[S]\nk=\xb6\xc1\xff\n", "S", "k", 29, "\xb6\xc1\xff"},
        ReadCase{"byte_order_mark_skipped", "\xef\xbb\xbf[S]\nk=v\n", "S", "k", 29, "v"},
        ReadCase{"byte_order_mark_only_at_start", "[T]\n\xef\xbb\xbf[S]\nk=v\n", "S", "k", 29, ""},
        ReadCase{"high_bytes_not_case_folded", "[\xc1]\nk=1\n", "\xe1", "k", 29, ""}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST(IniReplaceTest, ChangesOnlyTheNamedValues) {
  const std::string text =
      "; servers\r\n[Other]\r\nServerIP0=9.9.9.9\r\n[ServerSet]\r\n"
      "  serverip0 =  10.0.0.1  \r\nServerPort0=\r\n# kept\r\nServerIP1=\"10.0.0.2\"\r\n";
  std::string out;
  ASSERT_TRUE(ReplaceIniValues(
      text, "ServerSet",
      {{"ServerIP1", "10.0.0.1"}, {"ServerIP0", "10.0.0.2"}, {"ServerPort0", "81"}}, &out));
  EXPECT_EQ(out,
            "; servers\r\n[Other]\r\nServerIP0=9.9.9.9\r\n[ServerSet]\r\n"
            "  serverip0 =  10.0.0.2  \r\nServerPort0=81\r\n# kept\r\nServerIP1=10.0.0.1\r\n");
}

TEST(IniReplaceTest, RefusesWhatItCannotRewriteInPlace) {
  const std::string text = "[S]\na=1\n[T]\nb=1\n[S]\nc=1\n";
  std::string out;
  EXPECT_FALSE(ReplaceIniValues(text, "S", {{"missing", "x"}}, &out));
  EXPECT_FALSE(ReplaceIniValues(text, "S", {{"c", "x"}}, &out));  // second [S] is never read
  EXPECT_FALSE(ReplaceIniValues(text, "S", {{"a", "x"}, {"A", "y"}}, &out));
  EXPECT_FALSE(ReplaceIniValues(text, "S", {{"a", "x\ny=2"}}, &out));
}

TEST(IniReplaceTest, WrittenValuesReadBackUnchanged) {
  for (const char* value : {"  padded ", "'quoted'", "\"double\"", "", "\xb6\xc1"}) {
    std::string out;
    ASSERT_TRUE(ReplaceIniValues("[S]\nk=old\n", "S", {{"k", value}}, &out)) << value;
    EXPECT_EQ(ReadIniValue(out, "S", "k", 64), value);
  }
}

}  // namespace
}  // namespace zcv::platform
