// zcvctl's human surfaces in UTF-8: for every configuration file of the
// configuration tests, `zcvctl check --json` is JSON that Python's json
// module reads, its messages are the log's GBK lines converted to UTF-8, and
// no output of check, of its text report or of a refused call holds bytes
// that are not UTF-8.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "platform/text_encoding.h"
#include "support/script_server.h"
#include "tests/config/config_file_cases.h"
#include "zcvctl/utf8_text.h"

namespace zcv::test {
namespace {

using ::testing::Contains;
using ::testing::UnorderedElementsAreArray;

// Prints, as one ASCII line of JSON, the problems' messages of the check
// report in argv[1] (read as strict UTF-8) and the parts of its refusal; then
// fails unless every other file named is strict UTF-8.
constexpr char kReader[] = R"(import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    report = json.load(f)
messages = [p["message"] for p in report["problems"]]
refusal = report["refusal"].split("; ") if not report["accepted"] else []
print(json.dumps({"problems": messages, "refusal": refusal}))
for name in sys.argv[2:]:
    with open(name, "rb") as f:
        f.read().decode("utf-8")
)";

struct ShellRun {
  int status = -1;
  std::string out;
};

ShellRun Shell(const std::string& command) {
  ShellRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// A log line as a person should read it: UTF-8, without its line end.
std::string Readable(const std::string& gbk) {
  return platform::GbkToUtf8(gbk.substr(0, gbk.find_last_not_of(" \n") + 1));
}

class ZcvctlTextTest : public ::testing::TestWithParam<FileCase> {
 protected:
  ZcvctlTextTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zcv-text-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    std::ofstream(dir_ + "/reader.py") << kReader;
  }
  ~ZcvctlTextTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string dir_;
};

TEST_P(ZcvctlTextTest, EveryOutputIsUtf8AndTheMessagesReadAsTheLogsText) {
  const FileCase& c = GetParam();
  std::string text = c.text;
  for (const char* placeholder : {"<p0>", "<p1>"}) {
    if (const std::size_t at = text.find(placeholder); at != std::string::npos) {
      text.replace(at, 4, std::to_string(UnusedPort()));
    }
  }
  std::ofstream(dir_ + "/cfgfile.ini", std::ios::binary) << text;
  const std::string zcvctl = std::string("LC_ALL=C.UTF-8 ") + ZCVCTL + " --config " + dir_ +
                             "/cfgfile.ini --log " + dir_ + "/log.txt ";
  Shell(zcvctl + "check --json >" + dir_ + "/check.json");
  Shell(zcvctl + "check >" + dir_ + "/check.txt");
  Shell(zcvctl + "auth --card 1 --password 2 >" + dir_ + "/auth.txt 2>&1");

  const ShellRun reader = Shell("python3 " + dir_ + "/reader.py " + dir_ + "/check.json " + dir_ +
                                "/check.txt " + dir_ + "/auth.txt 2>&1");
  ASSERT_EQ(reader.status, 0) << reader.out;
  std::vector<std::string> expected;
  for (const std::string& line : c.log) expected.push_back(Readable(line));
  const auto report = nlohmann::json::parse(reader.out);
  EXPECT_THAT(report["problems"].get<std::vector<std::string>>(),
              UnorderedElementsAreArray(expected));
  // A refused file names its fatal problems.
  const auto refusal = report["refusal"].get<std::vector<std::string>>();
  EXPECT_EQ(refusal.empty(), c.accepted);
  for (const std::string& part : refusal) EXPECT_THAT(expected, Contains(part));
}

// The same replacement as the JSON reports make: one U+FFFD for each maximal
// ill-formed subsequence.
TEST(ValidUtf8Test, ReplacesAsTheJsonReportDoes) {
  for (const std::string bytes :
       {"plain", "\xe8\xaf\xbb ok", "\xb6\xc1GBK", "cut \xe8\xaf", "\xc0\xaf overlong",
        "\xed\xa0\x80 surrogate", "\xf4\x90\x80\x80 too high", "\xf0\x9f\x98\x80\xff",
        "\x80\xbf lone continuations", "\xe0\x80\x80", "\xf0\x9f\x98"}) {
    SCOPED_TRACE(bytes);
    const std::string json =
        nlohmann::json(bytes).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    EXPECT_EQ(ctl::ValidUtf8(bytes), json.substr(1, json.size() - 2));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ZcvctlTextTest, ::testing::ValuesIn(FileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zcv::test
