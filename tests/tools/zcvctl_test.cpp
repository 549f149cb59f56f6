// zcvctl: how results are shown, and the program itself run against a
// simulator, checking its output and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "e2e_fixture.h"
#include "zcvctl/report.h"

namespace zcv::ctl {
namespace {

const Operation& Find(const std::string& command) {
  for (const Operation& op : Operations()) {
    if (op.command == command) return op;
  }
  throw std::out_of_range(command);
}

TEST(ZcvctlReportTest, MeaningAndExitStatusOfEachKindOfResult) {
  struct Case {
    ResultCode code;
    const char* meaning;
    int exit_status;
  } cases[] = {{9999, "accepted", 0},         {1011, "argument refused", 2},
               {1012, "no usable answer", 2}, {2002, "service verdict", 1},
               {0, "service verdict", 1},     {4294967295u, "service verdict", 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(ResultMeaning(c.code), c.meaning) << c.code;
    EXPECT_EQ(ExitStatus(c.code), c.exit_status) << c.code;
  }
}

TEST(ZcvctlReportTest, RowsAreAlignedAndFullFieldsNeedNoTerminator) {
  Outputs out;
  out.row_count = 2;
  out.rows[0] = pTokenBindInfo{0, 1, 22, "alice", "2023-11-14 22:13:20"};
  out.rows[1].AppNo = 333;
  out.rows[1].AppNo2 = -4;
  std::memcpy(out.rows[1].Account, "abcdefghijklmnopqrst", 20);  // 20 bytes, no NUL
  std::memcpy(out.rows[1].Bindtime, "2023-11-14 22:13:21", 20);
  std::ostringstream text;
  PrintText(text, Find("bind-info"), 9999, out);
  EXPECT_EQ(text.str(),
            "TokenBindInfoQuery: 9999 (accepted)\n"
            "  bindings        2\n"
            "  #  app-no  app-no2  account               bind time\n"
            "  1  1       22       alice                 2023-11-14 22:13:20\n"
            "  2  333     -4       abcdefghijklmnopqrst  2023-11-14 22:13:21\n");

  std::ostringstream json;
  out.row_count = 12;  // more than are ever delivered
  PrintJson(json, Find("bind-info"), 9999, out);
  EXPECT_NE(json.str().find("\"rowCount\":12,\"rows\":[{\"appNo\":1,"), std::string::npos)
      << json.str();
  EXPECT_NE(json.str().find("\"account\":\"abcdefghijklmnopqrst\""), std::string::npos);
}

TEST(ZcvctlReportTest, OutputsOnlyWithAcceptedResult) {
  Outputs out;
  std::strcpy(out.resv_password, "123456");
  std::ostringstream text, json;
  PrintText(text, Find("bind"), 2007, out);
  PrintJson(json, Find("bind"), 2007, out);
  EXPECT_EQ(text.str(), "TokenBinding: 2007 (service verdict)\n");
  EXPECT_EQ(json.str(),
            "{\"operation\":\"TokenBinding\",\"result\":2007,\"meaning\":\"service verdict\"}\n");
}

TEST(ZcvctlReportTest, IntegersAreDecimalWithLeadingZeros) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {{"097221", 97221},
               {"0", 0},
               {"-12", -12},
               {"+7", 7},
               {"2147483647", 2147483647},
               {"-2147483648", -2147483647 - 1},
               {"2147483648", std::nullopt},
               {"0x10", std::nullopt},
               {"", std::nullopt},
               {"-", std::nullopt},
               {" 1", std::nullopt},
               {"12a", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(ParseDecimalInt(c.text), c.value) << c.text;
}

TEST(ZcvctlReportTest, JsonIsValidUtf8WhateverBytesTheServiceSent) {
  const std::string r = "\xef\xbf\xbd";  // U+FFFD
  struct Case {
    std::string bytes, shown;
  } cases[] = {
      {"a\"b\\c", "a\\\"b\\\\c"},
      {"caf\xc3\xa9 \xe4\xb8\xad", "caf\xc3\xa9 \xe4\xb8\xad"},
      // One U+FFFD per ill-formed part: a stray byte, a truncated sequence,
      // each byte of an encoded surrogate and of an overlong form.
      {"\xff!\xe2\x82!", r + "!" + r + "!"},
      {"\xed\xa0\x80\xc0\xaf", r + r + r + r + r},
      {"\x01\n\t\x7f", "\\u0001\\n\\t\x7f"},
  };
  for (const Case& c : cases) {
    Outputs out;
    std::strcpy(out.resv_password, c.bytes.c_str());
    std::ostringstream json;
    PrintJson(json, Find("bind"), 9999, out);
    EXPECT_EQ(json.str(), std::string("{\"operation\":\"TokenBinding\",\"result\":9999,\"meaning\":"
                                      "\"accepted\",\"resvPassWord\":\"") +
                              c.shown + "\"}\n");
    // The strict parser throws on ill-formed UTF-8 and on unescaped control bytes.
    EXPECT_NO_THROW(nlohmann::json::parse(json.str())) << json.str();
  }
}

TEST(ZcvctlReportTest, TableHasOneSubcommandPerOperation) {
  std::set<std::string> functions, commands;
  for (const Operation& op : Operations()) {
    functions.insert(op.function);
    commands.insert(op.command);
    // The request names the function's page.
    EXPECT_EQ(std::string(op.request).rfind(std::string(op.function) + ".asp?", 0), 0u)
        << op.command;
  }
  EXPECT_EQ(functions.size(), 28u);
  EXPECT_EQ(commands.size(), 28u);
}

// zcvctl runs in the fixture's directory on the configuration and log
// files there (--config, --log).
class ZcvctlProgramTest : public e2e::EndToEndTest {
 protected:
  struct Run {
    int status;
    std::string out;
  };

  Run Zcvctl(const std::string& args) {
    std::string command = std::string(ZCVCTL_E2E) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Run run{-1, ""};
    if (pipe == nullptr) return run;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
  }

  const sim::Secret secret_ = *sim::SecretFromHex("6666666666666666666666666666666666666666");
};

TEST_F(ZcvctlProgramTest, PrintsResultsAndExitsByKind) {
  AddCard(1001, "SN1001", sim::CardState::kEnabled, secret_);
  WriteConfig({0});
  std::string card = " --card 1001 --password ";

  Run ok = Zcvctl("--json auth" + card + std::to_string(Code(secret_)));
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out,
            "{\"operation\":\"TokenAuth\",\"result\":9999,\"meaning\":\"accepted\","
            "\"expireTime\":\"" +
                LocalText(e2e::kExpire) + "\"}\n");

  Run bound = Zcvctl("bind" + card + std::to_string(Code(secret_)) +
                     " --app-no 1 --app-no2 2 --account alice");
  EXPECT_EQ(bound.status, 0);
  EXPECT_NE(bound.out.find("TokenBinding: 9999 (accepted)\n  reserved pw     "), std::string::npos)
      << bound.out;

  Run refused = Zcvctl("auth" + card + std::to_string(Code(secret_, 4)));
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "TokenAuth: 2002 (service verdict)\n");

  Run too_long =
      Zcvctl("unbind-ex --card 1001 --app-no 1 --app-no2 2 --account " + std::string(21, 'a'));
  EXPECT_EQ(too_long.status, 2);
  EXPECT_EQ(too_long.out, "TokenUnBindingEx: 1011 (argument refused)\n");

  Run usage = Zcvctl("auth --card 1001");
  EXPECT_EQ(usage.status, 64);
  Run not_a_number = Zcvctl("auth --card 1001 --password 0x10");
  EXPECT_EQ(not_a_number.status, 64);

  servers_[0]->Stop();
  Run none = Zcvctl("status --card 1001");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "TokenStatus: 1012 (no usable answer)\n");
}

TEST_F(ZcvctlProgramTest, RepeatCountsTheResultsOfEveryCall) {
  AddCard(1001, "SN1001", sim::CardState::kEnabled, secret_);
  WriteConfig({0});
  Run repeated = Zcvctl("--repeat 5 auth --card 1001 --password " + std::to_string(Code(secret_)));
  EXPECT_EQ(repeated.status, 0);
  EXPECT_EQ(Connections(), 5u);
  EXPECT_EQ(repeated.out.rfind("TokenAuth: 5 calls\n  9999 (accepted)  5\n"
                               "  kept conns      0\n  cpu per call    ",
                               0),
            0u)
      << repeated.out;

  Run json = Zcvctl("--json status --card 4242 --repeat 3");  // no such card
  EXPECT_EQ(json.status, 1);
  const nlohmann::json report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["calls"], 3);
  ASSERT_EQ(report["results"].size(), 1u) << json.out;
  EXPECT_EQ(report["results"].begin().value(), 3);
  EXPECT_NE(report["results"].begin().key(), "9999");
  EXPECT_EQ(report["keptConnections"], 0);
  EXPECT_GT(report["wallMicrosPerCall"].get<double>(), 0);
  EXPECT_EQ(Zcvctl("--repeat 0 status --card 1001").status, 64);
}

}  // namespace
}  // namespace zcv::ctl
