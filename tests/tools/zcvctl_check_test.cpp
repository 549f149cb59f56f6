// zcvctl check against loopback servers it cannot send a request to: what
// it reports for each server and file, and its exit status.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "support/script_server.h"
#include "support/tls_script_server.h"
#include "support/tls_test_pki.h"
#include "zcvctl/check.h"

namespace zcv::ctl {
namespace {

using test::Pki;
using ::testing::HasSubstr;
using ::testing::Not;

// Whether every connection the server saw ended without a byte of request.
bool NothingSent(const test::ScriptServer& server) {
  for (const std::string& head : server.requests()) {
    if (!head.empty()) return false;
  }
  return true;
}

class ZcvctlCheckTest : public ::testing::Test {
 protected:
  ZcvctlCheckTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zcv-check-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    std::ofstream(dir_ + "/ca.pem") << Pki().caPem;
  }
  ~ZcvctlCheckTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Writes a file naming 127.0.0.1 at these ports, with `tls` as its [TLS]
  // keys (none: no section), checks it, and returns the exit status.
  int Check(const std::vector<std::uint16_t>& ports, const std::string& tls, bool json = false) {
    std::ostringstream ini;
    ini << "[ServerSet]\nServerNumber=" << ports.size() << "\nConnectTimeout=2\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
      ini << "ServerIP" << i << "=127.0.0.1\nServerPort" << i << "=" << ports[i] << "\n";
    }
    if (!tls.empty()) ini << "[TLS]\nEnabled=1\nCAFile=" << dir_ << "/ca.pem\n" << tls;
    return CheckText(ini.str(), json);
  }
  int CheckText(const std::string& text, bool json = false) {
    std::ofstream(dir_ + "/cfgfile.ini", std::ios::binary) << text;
    out_.str("");
    return RunCheck(dir_ + "/cfgfile.ini", json, out_);
  }

  std::string dir_;
  std::ostringstream out_;
};

TEST_F(ZcvctlCheckTest, PlainServersReachedOrNotAndNothingSent) {
  test::ScriptServer server(test::Script{test::Close()});
  const std::uint16_t refused = test::UnusedPort();
  EXPECT_EQ(Check({server.port()}, ""), 0);
  EXPECT_EQ(Check({server.port(), refused}, ""), 1);
  const std::string text = out_.str();
  EXPECT_THAT(text, HasSubstr("server 0 127.0.0.1:" + std::to_string(server.port()) + ": reached"));
  EXPECT_THAT(text, HasSubstr("server 1 127.0.0.1:" + std::to_string(refused) + ": NOT reached"));
  EXPECT_THAT(text, HasSubstr("connect FAILED"));
  // Each address tried, with its family and how it fared.
  EXPECT_THAT(text, HasSubstr("\n    ipv4 127.0.0.1  connected\n"));
  EXPECT_THAT(text, HasSubstr("\n    ipv4 127.0.0.1  connection refused\n"));
  EXPECT_THAT(text, Not(HasSubstr("tls")));
  EXPECT_TRUE(NothingSent(server));
}

TEST_F(ZcvctlCheckTest, TlsHandshakeVerifiedWithDaysLeftAndPin) {
  struct Case {
    const char* name;
    const test::Credential& credential;
    std::string tls;
    int status;
    std::string shown;
  } cases[] = {
      {"verified", Pki().ip, "\n", 0, "name 127.0.0.1 verified, certificate "},
      {"pinned", Pki().ip, "PinSHA256=" + Pki().ipPin + "\n", 0, " days left, pin matched"},
      {"no pins", Pki().ip, "\n", 0, " days left, no pins set"},
      {"other name", Pki().otherName, "\n", 1, "tls FAILED"},
      {"expired", Pki().expired, "\n", 1, "tls FAILED"},
      {"pin mismatch", Pki().ip, "PinSHA256=" + Pki().otherPin + "\n", 1, "tls FAILED"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TlsServerOptions options;
    options.credential = c.credential;
    test::TlsScriptServer server(test::Script{test::Close()}, options);
    EXPECT_EQ(Check({server.port()}, c.tls), c.status);
    EXPECT_THAT(out_.str(), HasSubstr(c.shown)) << out_.str();
    server.Stop();
    EXPECT_TRUE(NothingSent(server.plain()));
  }
}

// A server that answers the ClientHello by closing, with a TLS close alert
// or with the TCP connection alone, has not completed a handshake.
TEST_F(ZcvctlCheckTest, HandshakeEndedByTheServerIsAFailure) {
  const std::string closeAlert("\x15\x03\x03\x00\x02\x01\x00", 7);
  const struct {
    const char* name;
    test::Script script;
  } cases[] = {
      {"close alert", {test::Send(closeAlert), test::Close()}},
      {"connection closed", {test::Close()}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScriptServer server(c.script, test::HeadRead::kSkip);
    EXPECT_EQ(Check({server.port()}, "\n"), 1);
    EXPECT_THAT(out_.str(), HasSubstr(": NOT reached")) << out_.str();
    EXPECT_THAT(out_.str(), HasSubstr("tls FAILED")) << out_.str();
  }
}

TEST_F(ZcvctlCheckTest, RefusedFileIsReportedWithItsProblems) {
  EXPECT_EQ(CheckText("[ServerSet]\nServerIP0=127.0.0.1\n"), 2);
  EXPECT_THAT(out_.str(), HasSubstr(": refused: \xe8\xaf\xbbServerNumber"));
  EXPECT_THAT(out_.str(), HasSubstr("\n  error (line 1): \xe8\xaf\xbbServerNumber"));
  EXPECT_EQ(CheckText("[ServerSet]\nServerNumber=0\n"), 2);
  EXPECT_THAT(out_.str(), HasSubstr("\n  warning (line 2): "));
  // Every problem, not just the first.
  EXPECT_EQ(CheckText("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=70000\n"
                      "[TLS]\nEnable=1\n"),
            2);
  EXPECT_THAT(out_.str(), HasSubstr("ServerPort0"));
  EXPECT_THAT(out_.str(), HasSubstr("Enable"));
}

TEST_F(ZcvctlCheckTest, JsonReportIsOneValidObject) {
  const std::uint16_t refused = test::UnusedPort();
  EXPECT_EQ(CheckText("[ServerSet]\nServerIP0=x\n", true), 2);
  auto report = nlohmann::json::parse(out_.str());
  EXPECT_FALSE(report["accepted"].get<bool>());
  EXPECT_EQ(report["problems"].size(), 1u);
  EXPECT_EQ(Check({refused}, "", true), 1);
  report = nlohmann::json::parse(out_.str());
  EXPECT_FALSE(report["servers"][0]["reached"].get<bool>());
  EXPECT_TRUE(report["servers"][0]["lookup"]["ok"].get<bool>());
  EXPECT_FALSE(report["servers"][0]["connect"]["ok"].get<bool>());
  EXPECT_EQ(report["servers"][0]["connect"]["note"], "connection refused");
  const nlohmann::json tried = report["servers"][0]["addresses"];
  ASSERT_EQ(tried.size(), 1u);
  EXPECT_EQ(tried[0]["address"], "127.0.0.1");
  EXPECT_EQ(tried[0]["family"], "ipv4");
  EXPECT_EQ(tried[0]["outcome"], "connection refused");
}

}  // namespace
}  // namespace zcv::ctl
