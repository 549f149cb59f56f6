// Configuration files with a slip in them, each loaded into the service: the
// call's result, the log lines, whether anything reached a loopback server,
// and the file's bytes after unload.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "service_fixture.h"
#include "support/script_server.h"
#include "tests/config/config_file_cases.h"
#include "tests/config/server_list_test_util.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

using ::testing::ElementsAreArray;

#ifdef _WIN32
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
    out += c;
  }
  return out;
}
#endif

class ConfigFileTest : public ServiceFixture, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ConfigFileTest, FailsClosedAndSaysWhy) {
  const FileCase& c = GetParam();
  const std::string accepting =
      HttpReply(Reply("<Result>9999</Result><ExpireTime>1704067200</ExpireTime>"));
  ScriptServer first(Script{Send(accepting)});
  ScriptServer second(Script{Send(accepting)});
  std::string text = c.text;
  for (auto [placeholder, port] : {std::pair{"<p0>", first.port()}, {"<p1>", second.port()}}) {
    if (const std::size_t at = text.find(placeholder); at != std::string::npos) {
      text.replace(at, 4, std::to_string(port));
    }
  }
  StartServiceWithIni(text);

  char expireText[kExpireTextBytes] = {};
  EXPECT_EQ(TokenAuth(1, 2, expireText), c.accepted ? kAccepted : kNoAnswer);
  EXPECT_EQ(first.connections() + second.connections(), c.accepted ? 1 : 0);
  EXPECT_THAT(LogMessages(), ElementsAreArray(c.log));
  StopService();
  std::ifstream in(dir_ + "/cfgfile.ini", std::ios::binary);
  std::ostringstream after;
  after << in.rdbuf();
#ifdef _WIN32
  // The Windows write-back is a text file: every line ends in CR LF.
  text = WithCrLf(text);
#endif
  EXPECT_EQ(after.str(), text);
}

INSTANTIATE_TEST_SUITE_P(Files, ConfigFileTest, ::testing::ValuesIn(FileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

class PackagedFileTest : public testing_config::ServerListFixture {};

// As installed: TLS on, no server yet, and only that is said.
TEST_F(PackagedFileTest, NamesNoServerAndIsOnTls) {
  WriteConfig(testing_log::ReadAll(ZCV_PACKAGED_CONFIG));
  auto list = Load();
  EXPECT_TRUE(list->valid());
  EXPECT_EQ(list->count(), 0);
  EXPECT_NE(list->tls(), nullptr);
  ASSERT_EQ(list->findings().size(), 1u);
  EXPECT_FALSE(list->findings()[0].fatal);
  EXPECT_EQ(list->findings()[0].message, kNoServer);
}

}  // namespace
}  // namespace zcv::test
