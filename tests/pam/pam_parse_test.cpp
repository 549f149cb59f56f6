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
#include "platform/ini_file.h"

namespace zcv::pam {
namespace {

TEST(AuthfileTest, FindCards) {
  const std::string seventeen = "u:1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17";
  const struct {
    const char* text;
    const char* user;
    CardLookup lookup;
    std::vector<int> cards;
  } cases[] = {
      {"alice:1001", "alice", CardLookup::kFound, {1001}},
      {"# users\n\n bob : 1002, 1003 \r\n", "bob", CardLookup::kFound, {1002, 1003}},
      {"alice:1001\nalice:9", "alice", CardLookup::kFound, {1001}},
      {"bob:x\nalice:5", "alice", CardLookup::kFound, {5}},
      {"alice:123456789", "alice", CardLookup::kFound, {123456789}},
      {"alicex:1\n#alice:1\nAlice:1", "alice", CardLookup::kAbsent, {}},
      {"alice:", "alice", CardLookup::kMalformed, {}},
      {"alice:10a", "alice", CardLookup::kMalformed, {}},
      {"alice:1,,2", "alice", CardLookup::kMalformed, {}},
      {"alice:-1", "alice", CardLookup::kMalformed, {}},
      {"alice:1234567890", "alice", CardLookup::kMalformed, {}},
      {seventeen.c_str(), "u", CardLookup::kMalformed, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<int> cards;
    EXPECT_EQ(FindCards(c.text, c.user, &cards), c.lookup);
    if (c.lookup == CardLookup::kFound) {
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
  } cases[] = {
      {"alice", true},  {"j.doe-2@ad", true}, {"\xc3\xa9mile", true},   {longest.c_str(), true},
      {"", false},      {"a b", false},       {"a:b", false},           {"#a", false},
      {"a\x01", false}, {"a\x7f", false},     {too_long.c_str(), false}};
  for (const auto& c : cases) EXPECT_EQ(IsValidUserName(c.name), c.valid) << c.name;
}

TEST(OptionsTest, Parse) {
  const struct {
    std::vector<const char*> args;
    bool usable;
    const char* config;
    int digits;
    bool flags;  // nullok, debug, use_first_pass and try_first_pass all set
  } cases[] = {
      {{}, true, kDefaultConfig, 6, false},
      {{"config=/c", "authfile=/a", "prompt=Code:", "digits=8", "nullok", "debug", "use_first_pass",
        "try_first_pass"},
       true,
       "/c",
       8,
       true},
      {{"unknown_option"}, true, kDefaultConfig, 6, false},
      {{"config=relative"}, false, kDefaultConfig, 6, false},
      {{"authfile="}, false, kDefaultConfig, 6, false},
      {{"digits=0"}, false, kDefaultConfig, 6, false},
      {{"digits=10"}, false, kDefaultConfig, 6, false},
      {{"digits=x"}, false, kDefaultConfig, 6, false},
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
  }
}

// The bound the module reads, and what the library reads back from the copy
// it is opened on: the time left, given once, with every other key as it was.
TEST(CallConfigTest, BoundAndCopy) {
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
    ASSERT_EQ(ReadCallConfig(c.text, &config), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(config.bound_seconds, c.bound);
    const std::string copy = WithCallTimeout(config, 7);
    EXPECT_EQ(platform::ReadIniValue(copy, "ServerSet", "CallTimeout", 32), "7") << copy;
    int given = 0;
    for (const auto& entry : platform::ReadIniSection(copy, "ServerSet").entries) {
      given += platform::SameIniName(entry.key, "CallTimeout") ? 1 : 0;
    }
    EXPECT_EQ(given, 1) << copy;
    EXPECT_EQ(platform::ReadIniValue(copy, "ServerSet", "ServerNumber", 32),
              platform::ReadIniValue(c.text, "ServerSet", "ServerNumber", 32));
  }
  CallConfig without;
  ASSERT_TRUE(ReadCallConfig("[TLS]\nEnabled=0\n", &without));
  EXPECT_EQ(WithCallTimeout(without, 7), "[TLS]\nEnabled=0\n");
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
