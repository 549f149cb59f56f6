// The PAM module's parsers and file checks, without libpam: the authfile,
// the options, the configuration's call bound, and trusted-file reading.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "pam/authfile.h"
#include "pam/call_config.h"
#include "pam/checked_file.h"
#include "pam/options.h"

namespace zcv::pam {
namespace {

TEST(AuthfileTest, FindCards) {
  const std::string seventeen = "u:1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17";
  const std::string long_line = "u:1" + std::string(kMaxAuthfileLineBytes, ' ');
  const std::string with_nul("alice:1\n# a\0b\n", 14);
  const struct {
    std::string text;
    const char* user;
    CardLookup lookup;
    std::vector<int> cards;  // when found; when refused, {the line}
  } cases[] = {
      {"alice:1001", "alice", CardLookup::kFound, {1001}},
      {"# users\n\n bob : 1002, 1003 \r\n", "bob", CardLookup::kFound, {1002, 1003}},
      {"\xef\xbb\xbf"
       "alice:1001\n",
       "alice",
       CardLookup::kFound,
       {1001}},
      {"alice:123456789", "alice", CardLookup::kFound, {123456789}},
      {"alicex:1\n#alice:1\nAlice:1", "alice", CardLookup::kAbsent, {}},
      {"", "alice", CardLookup::kAbsent, {}},
      // One line that is not read refuses the file, whoever it names.
      {"alice 1001", "alice", CardLookup::kRefused, {1}},
      {"alice=1001", "alice", CardLookup::kRefused, {1}},
      {"alice:1001\nbob:x", "alice", CardLookup::kRefused, {2}},
      {"alice:1001\nalice:9", "alice", CardLookup::kRefused, {2}},
      {"\xef\xbb\xbf\xef\xbb\xbf"
       "alice:1",
       "alice",
       CardLookup::kRefused,
       {1}},
      {"al ice:1", "alice", CardLookup::kRefused, {1}},
      {":1", "alice", CardLookup::kRefused, {1}},
      {"alice:", "alice", CardLookup::kRefused, {1}},
      {"alice:10a", "alice", CardLookup::kRefused, {1}},
      {"alice:1,,2", "alice", CardLookup::kRefused, {1}},
      {"alice:1,", "alice", CardLookup::kRefused, {1}},
      {"alice:-1", "alice", CardLookup::kRefused, {1}},
      {"alice:0", "alice", CardLookup::kRefused, {1}},
      {"alice:7,7", "alice", CardLookup::kRefused, {1}},
      {"alice:1234567890", "alice", CardLookup::kRefused, {1}},
      {"alice:1\rbob:2", "alice", CardLookup::kRefused, {1}},
      {seventeen, "u", CardLookup::kRefused, {1}},
      {long_line, "u", CardLookup::kRefused, {1}},
      {with_nul, "alice", CardLookup::kRefused, {2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<int> cards = {42};
    AuthfileRefusal refusal;
    ASSERT_EQ(FindCards(c.text, c.user, &cards, &refusal), c.lookup);
    if (c.lookup == CardLookup::kRefused) {
      EXPECT_EQ(refusal.line, static_cast<std::size_t>(c.cards[0]));
      EXPECT_FALSE(refusal.reason.empty());
      EXPECT_TRUE(cards.empty());
    } else {
      EXPECT_EQ(cards, c.cards);
    }
  }
}

TEST(AuthfileTest, UserNames) {
  const std::string longest(kMaxUserNameBytes, 'a');
  const std::string too_long = longest + "a";
  const struct {
    const char* name;
    bool valid;
  } cases[] = {{"alice", true},
               {"j.doe-2@ad", true},
               {"\xc3\xa9mile", true},
               {longest.c_str(), true},
               {"", false},
               {"a b", false},
               {"a:b", false},
               {"#a", false},
               {"a\x01", false},
               {"a\x7f", false},
               {too_long.c_str(), false},
               // Invisible characters and bytes that are not UTF-8.
               {"\xef\xbb\xbf"
                "alice",
                false},
               {"alice\xc2\xa0", false},
               {"al\xe2\x80\x8bice", false},
               {"\xe9mile", false},
               {"\xc0\xa1", false},
               {"\xed\xa0\x80", false}};
  for (const auto& c : cases) EXPECT_EQ(IsValidUserName(c.name), c.valid) << c.name;
}

TEST(OptionsTest, Parse) {
  const struct {
    std::vector<const char*> args;
    bool usable;
    const char* config;
    int digits;
    bool flags;  // nullok, debug, use_first_pass and try_first_pass all set
    std::vector<std::string> groups;
    bool negated;
  } cases[] = {
      {{}, true, kDefaultConfig, 6, false, {}, false},
      {{"config=/c", "authfile=/a", "prompt=Code:", "digits=8", "nullok", "debug", "use_first_pass",
        "try_first_pass", "groups=admins,ops"},
       true,
       "/c",
       8,
       true,
       {"admins", "ops"},
       false},
      {{"unknown_option", "groups=!contractors"},
       true,
       kDefaultConfig,
       6,
       false,
       {"contractors"},
       true},
      {{"config=relative"}, false, kDefaultConfig, 6, false, {}, false},
      {{"authfile="}, false, kDefaultConfig, 6, false, {}, false},
      {{"digits=0"}, false, kDefaultConfig, 6, false, {}, false},
      {{"digits=10"}, false, kDefaultConfig, 6, false, {}, false},
      {{"digits=x"}, false, kDefaultConfig, 6, false, {}, false},
      // A value given twice is refused, not decided by its position.
      {{"config=/c", "config=/d"}, false, "/c", 6, false, {}, false},
      {{"digits=8", "digits=x"}, false, kDefaultConfig, 8, false, {}, false},
      {{"groups="}, false, kDefaultConfig, 6, false, {}, false},
      {{"groups=!"}, false, kDefaultConfig, 6, false, {}, false},
      {{"groups=a,,b"}, false, kDefaultConfig, 6, false, {}, false},
      {{"groups=a,!b"}, false, kDefaultConfig, 6, false, {}, false},
      {{"groups=a,"}, false, kDefaultConfig, 6, false, {}, false},
      {{"groups=a:b"}, false, kDefaultConfig, 6, false, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    Options options;
    std::vector<const char*> args = c.args;
    EXPECT_EQ(ParseOptions(nullptr, static_cast<int>(args.size()), args.data(), &options),
              c.usable);
    EXPECT_STREQ(options.config, c.config);
    EXPECT_EQ(options.digits, c.digits);
    EXPECT_EQ(options.nullok && options.debug && options.use_first_pass && options.try_first_pass,
              c.flags);
    EXPECT_EQ(options.groups, c.groups);
    if (!c.groups.empty()) {
      EXPECT_EQ(options.groups_negated, c.negated);
    }
  }
}

// The bound the module reads, as the library's reader sees CallTimeout.
TEST(CallConfigTest, Bound) {
  const struct {
    const char* text;
    bool valid;
    int bound;
  } cases[] = {
      {"[ServerSet]\nServerNumber=1\n", true, kDefaultCallTimeoutSeconds},
      {"\xef\xbb\xbf[ServerSet]\nServerNumber=1\n", true, kDefaultCallTimeoutSeconds},
      {"[serverset]\r\nCallTimeout=5\r\nServerNumber=1\r\n", true, 5},
      {" [ ServerSet ] \nServerNumber=1\nCallTimeout = \"12\"\n", true, 12},
      {"[Other]\nCallTimeout=5\n[ServerSet]\nServerNumber=1", true, kDefaultCallTimeoutSeconds},
      {"; [ServerSet]\n[ServerSet]\nServerNumber=1\n[TLS]\nEnabled=0", true, 30},
      {"ServerNumber=1\n[ServerSet]", true, kDefaultCallTimeoutSeconds},
      {"[ServerSet]\nCallTimeout=abc\n", false, 0},
      {"[ServerSet]\nCallTimeout=0\n", false, 0},
      {"[ServerSet]\nCallTimeout=601\n", false, 0},
      {"[ServerSet]\nCallTimeout=\n", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CallConfig config;
    ASSERT_EQ(ReadCallConfig(c.text, &config).empty(), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(config.bound_seconds, c.bound);
    // The library is handed exactly the bytes that were checked.
    EXPECT_EQ(config.text, c.text);
  }
}

// The CA file the module checks is the one the library would load.
TEST(CallConfigTest, CaFile) {
  const struct {
    const char* text;
    bool valid;
    const char* ca_file;
  } cases[] = {
      {"[ServerSet]\n[TLS]\nEnabled=1\n", true, ""},
      {"[ServerSet]\n[tls]\ncafile = \"/etc/ca.pem\"\n", true, "/etc/ca.pem"},
      {"[ServerSet]\n[TLS]\nCAFile=\n", true, ""},
      {"[ServerSet]\n[TLS]\nCAFile=ca.pem\n", false, ""},
      {"[ServerSet]\n[TLS]\nCAFile=/a\nCAFile=/b\n", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CallConfig config;
    ASSERT_EQ(ReadCallConfig(c.text, &config).empty(), c.valid);
    if (c.valid) {
      EXPECT_EQ(config.ca_file, c.ca_file);
    }
  }
}

TEST(CheckedFileTest, RefusesWhatRootDoesNotAloneControl) {
  const std::string dir = ::testing::TempDir();
  const std::string fifo = dir + "zcv_pam_fifo";
  const std::string foreign = dir + "zcv_pam_foreign";
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(foreign) << "alice:1\n";
  ASSERT_EQ(::chmod(foreign.c_str(), 0644), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
  }

  std::string text;
  EXPECT_EQ(ReadCheckedFile(fifo.c_str(), &text), "is not a regular file");  // and no hang
  EXPECT_EQ(ReadCheckedFile(foreign.c_str(), &text), "is not owned by root");
  EXPECT_EQ(ReadCheckedFile((dir + "zcv_pam_missing").c_str(), &text).rfind("cannot be opened", 0),
            0u);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(foreign.c_str(), 0, 0), 0);
    EXPECT_EQ(ReadCheckedFile(foreign.c_str(), &text), "");
    EXPECT_EQ(text, "alice:1\n");
  }
  ::unlink(fifo.c_str());
  ::unlink(foreign.c_str());
}

}  // namespace
}  // namespace zcv::pam
