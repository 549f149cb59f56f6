// The PAM module driven through pam_wrapper and libpamtest, against a
// simulator in this process with a fixed clock. pam_wrapper prints the
// module's pam_syslog lines on standard error, which each run captures, so
// the tests see what syslog would get. The module trusts only root-owned
// files: these tests run as root (as CI does) and skip otherwise.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <security/pam_appl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tls_test_pki.h"
#include "zcvsim/sim_server.h"
// libpamtest's header declares its functions without C linkage for C++.
extern "C" {
#include <libpamtest.h>
}
#include "zcvsim/totp.h"

namespace {

namespace fs = std::filesystem;
using zcv::sim::CardState;

constexpr std::int64_t kNow = 1700000000;
const zcv::sim::Secret kSecretA = *zcv::sim::SecretFromHex("11111111111111111111");
const zcv::sim::Secret kSecretB = *zcv::sim::SecretFromHex("22222222222222222222");
// The files the service files in ZCV_PAM_SERVICE_DIR name.
const std::string kDir = ZCV_PAM_FILES_DIR;
const std::string kAuthfile = kDir + "/users";
const std::string kConfig = kDir + "/cfgfile.ini";
const std::string kCaFile = kDir + "/ca.pem";
const char kAuthfileText[] = "# test users\nalice:1001\nbob: 1003 , 1002\n";

std::string CodeOf(const zcv::sim::Secret& secret) {
  return zcv::sim::FormatOtp(zcv::sim::OtpAtStep(secret, zcv::sim::OtpStep(kNow)));
}

// "{A}" and "{B}" stand for the current codes of cards 1001 and 1002, "{W}"
// for a code neither accepts.
std::string Expand(const std::string& text) {
  if (text == "{A}") return CodeOf(kSecretA);
  if (text == "{B}") return CodeOf(kSecretB);
  if (text == "{W}") {
    const std::string a = CodeOf(kSecretA);
    return a == "000000" ? "000001" : "000000";
  }
  return text;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
  std::ofstream(path, std::ios::trunc) << text;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

// Sends standard output and error to files while it lives.
class CapturedOutput {
 public:
  CapturedOutput() {
    std::fflush(nullptr);
    for (int fd : {1, 2}) {
      saved_[fd - 1] = ::dup(fd);
      std::FILE* file = std::fopen(Path(fd).c_str(), "w");
      ::dup2(::fileno(file), fd);
      std::fclose(file);
    }
  }
  ~CapturedOutput() { Restore(); }
  // Restores both and returns what was written to each.
  std::pair<std::string, std::string> Take() {
    Restore();
    return {ReadAll(Path(1)), ReadAll(Path(2))};
  }

 private:
  static std::string Path(int fd) { return kDir + "/fd" + std::to_string(fd) + ".txt"; }
  void Restore() {
    std::fflush(nullptr);
    for (int fd : {1, 2}) {
      if (saved_[fd - 1] < 0) continue;
      ::dup2(saved_[fd - 1], fd);
      ::close(saved_[fd - 1]);
      saved_[fd - 1] = -1;
    }
  }
  int saved_[2] = {-1, -1};
};

struct Outcome {
  int result = -1;
  std::string log;  // pam_wrapper's log: the syslog lines
  std::string out;  // standard output: must stay empty
};

struct Case {
  const char* name;
  const char* service;
  const char* user;
  const char* authtok;  // the earlier module's password; null: none
  std::vector<std::string> replies;
  int result;
  std::uint64_t requests;
  const char* logged;  // a line fragment the log must hold
  const char* authfile = kAuthfileText;
  int flags = 0;  // of pam_authenticate
};

class PamModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) {
      GTEST_SKIP() << "SKIPPED: not root. The module trusts only root-owned files; run as root "
                      "(CI does) to test it";
    }
    fs::create_directories(kDir);
    service_ = std::make_unique<zcv::sim::TokenService>(":memory:", [] { return kNow; });
    AddCard(1001, kSecretA, CardState::kEnabled);
    AddCard(1002, kSecretB, CardState::kEnabled);
    AddCard(1003, kSecretB, CardState::kNew);  // refuses every code
    server_ = std::make_unique<zcv::sim::SimServer>(*service_);
    port_ = server_->Start("127.0.0.1", 0);
    ASSERT_GT(port_, 0);
    WriteFiles();
  }

  // Both files as root's, readable by all, writable by root alone.
  void WriteFiles(const char* authfile = kAuthfileText) {
    WriteFile(kAuthfile, authfile);
    WriteConfig(port_, "");
    for (const std::string& path : {kAuthfile, kConfig}) ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
  }

  void TearDown() override {
    if (server_) server_->Stop();
    ::unsetenv("PAM_AUTHTOK");
  }

  void AddCard(int number, const zcv::sim::Secret& secret, CardState state) {
    zcv::sim::Card card;
    card.card_no = number;
    card.service_no = "SN" + std::to_string(number);
    card.secret = secret;
    card.state = state;
    card.expire_time = kNow + 86400;
    ASSERT_TRUE(service_->AddCard(card));
  }

  static void WriteConfig(int port, const std::string& extra) {
    WriteFile(kConfig, "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
                           std::to_string(port) + "\n" + extra);
  }

  // One pam_authenticate through `service` as `user`, answering the
  // module's prompts with `replies` in turn.
  static Outcome Authenticate(const char* service, const char* user,
                              const std::vector<std::string>& replies, int flags = 0) {
    std::vector<const char*> answers;
    for (const std::string& reply : replies) answers.push_back(reply.c_str());
    answers.push_back(nullptr);
    pamtest_conv_data conversation{};
    conversation.in_echo_off = answers.data();
    pam_testcase cases[] = {pam_test_flags(PAMTEST_AUTHENTICATE, PAM_SUCCESS, flags)};
    CapturedOutput output;
    const pamtest_err error = run_pamtest(service, user, &conversation, cases, nullptr);
    auto [out, err] = output.Take();
    EXPECT_TRUE(error == PAMTEST_ERR_OK || error == PAMTEST_ERR_CASE) << pamtest_strerror(error);
    return Outcome{cases[0].op_rv, err, out};
  }

  template <std::size_t n>
  void RunCases(const Case (&cases)[n]);

  std::unique_ptr<zcv::sim::TokenService> service_;
  std::unique_ptr<zcv::sim::SimServer> server_;
  int port_ = 0;
};

// Runs each case on fresh files: its result, the requests the simulator
// got, a line it logged, nothing on standard output and no code in the log.
template <std::size_t n>
void PamModuleTest::RunCases(const Case (&cases)[n]) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFiles(c.authfile);
    std::vector<std::string> replies;
    for (const std::string& reply : c.replies) replies.push_back(Expand(reply));
    std::string authtok = c.authtok != nullptr ? Expand(c.authtok) : "";
    if (c.authtok != nullptr) ::setenv("PAM_AUTHTOK", authtok.c_str(), 1);
    const std::uint64_t before = server_->RequestCount();

    const Outcome outcome = Authenticate(c.service, c.user, replies, c.flags);
    ::unsetenv("PAM_AUTHTOK");

    EXPECT_EQ(outcome.result, c.result) << outcome.log;
    EXPECT_EQ(server_->RequestCount() - before, c.requests);
    EXPECT_NE(outcome.log.find(c.logged), std::string::npos) << outcome.log;
    EXPECT_EQ(outcome.out, "");
    for (const std::string& secret : {replies.empty() ? "" : replies[0], authtok}) {
      if (secret.size() < 6) continue;
      EXPECT_EQ(outcome.log.find(secret), std::string::npos) << "a code reached the log";
    }
  }
}

TEST_F(PamModuleTest, Outcomes) {
  const Case cases[] = {
      {"accepted", "zcv", "alice", nullptr, {"{A}"}, PAM_SUCCESS, 1, "accepted by card 1001"},
      {"wrong code", "zcv", "alice", nullptr, {"{W}"}, PAM_AUTH_ERR, 1, "service verdict"},
      {"second card after the first refused",
       "zcv",
       "bob",
       nullptr,
       {"{B}"},
       PAM_SUCCESS,
       2,
       "accepted by card 1002"},
      {"unmapped user", "zcv", "carol", nullptr, {}, PAM_USER_UNKNOWN, 0, "has no token card"},
      {"unmapped user, nullok: ignored",
       "zcv_nullok",
       "carol",
       nullptr,
       {},
       PAM_SUCCESS,
       0,
       "has no token card: ignored"},
      {"non-digit reply", "zcv", "alice", nullptr, {"12a456"}, PAM_AUTH_ERR, 0, "nothing sent"},
      {"short reply", "zcv", "alice", nullptr, {"12345"}, PAM_AUTH_ERR, 0, "nothing sent"},
      {"long reply", "zcv", "alice", nullptr, {"1234567"}, PAM_AUTH_ERR, 0, "nothing sent"},
      {"invalid user name", "zcv", "al ice", nullptr, {}, PAM_USER_UNKNOWN, 0, "user name"},
      {"use_first_pass", "zcv_use_first", "alice", "{A}", {}, PAM_SUCCESS, 1, "accepted"},
      {"use_first_pass, no password",
       "zcv_use_first",
       "alice",
       nullptr,
       {},
       PAM_AUTH_ERR,
       0,
       "no earlier password"},
      {"use_first_pass, refused: no prompt",
       "zcv_use_first",
       "alice",
       "{W}",
       {"{A}"},
       PAM_AUTH_ERR,
       1,
       "service verdict"},
      {"try_first_pass, not a code: prompt",
       "zcv_try_first",
       "alice",
       "hunter2",
       {"{A}"},
       PAM_SUCCESS,
       1,
       "accepted"},
      {"try_first_pass, refused: prompt",
       "zcv_try_first",
       "alice",
       "{W}",
       {"{A}"},
       PAM_SUCCESS,
       2,
       "accepted"},
  };
  RunCases(cases);
}

// Any line that is not blank, a comment or name:cards refuses the whole
// file, and the file is matched on the directory's name for the user.
TEST_F(PamModuleTest, AuthfileLinesNotReadRefuseTheFile) {
  const char* const refused = "refusing the whole file";
  const Case cases[] = {
      {"blank for colon",
       "zcv_nullok",
       "alice",
       nullptr,
       {},
       PAM_AUTHINFO_UNAVAIL,
       0,
       refused,
       "alice 1001\n"},
      {"equals for colon",
       "zcv_nullok",
       "alice",
       nullptr,
       {},
       PAM_AUTHINFO_UNAVAIL,
       0,
       "line 1 is not a name:cards line",
       "alice=1001\n"},
      {"a bad line after the user's",
       "zcv",
       "alice",
       nullptr,
       {},
       PAM_AUTHINFO_UNAVAIL,
       0,
       "line 3",
       "alice:1001\n# ok\nbob:1002;1003\n"},
      {"user named twice",
       "zcv_nullok",
       "alice",
       nullptr,
       {},
       PAM_AUTHINFO_UNAVAIL,
       0,
       "line 2",
       "alice:1001\nalice:1002\n"},
      {"byte-order mark skipped",
       "zcv_nullok",
       "alice",
       nullptr,
       {"{W}"},
       PAM_AUTH_ERR,
       1,
       "service verdict",
       "\xef\xbb\xbf"
       "alice:1001\n"},
      {"the directory's spelling",
       "zcv_nullok",
       "Dora",
       nullptr,
       {"{W}"},
       PAM_AUTH_ERR,
       1,
       "user dora: card 1001 refused",
       "dora:1001\n"},
      {"nullok, but null tokens disallowed",
       "zcv_nullok",
       "carol",
       nullptr,
       {},
       PAM_USER_UNKNOWN,
       0,
       "nullok does not apply",
       kAuthfileText,
       PAM_DISALLOW_NULL_AUTHTOK},
      {"not a user of the system",
       "zcv_nullok",
       "mallory",
       nullptr,
       {},
       PAM_USER_UNKNOWN,
       0,
       "not known to the system"},
  };
  RunCases(cases);
}

TEST_F(PamModuleTest, GroupRules) {
  const Case cases[] = {
      {"member",
       "zcv_groups_members",
       "alice",
       nullptr,
       {"{W}"},
       PAM_AUTH_ERR,
       1,
       "service verdict"},
      {"member through a second group",
       "zcv_groups_members",
       "bob",
       nullptr,
       {"{B}"},
       PAM_SUCCESS,
       2,
       "accepted by card 1002"},
      {"member under the directory's spelling",
       "zcv_groups_members",
       "DORA",
       nullptr,
       {},
       PAM_USER_UNKNOWN,
       0,
       "user dora has no token card"},
      {"not a member: ignored",
       "zcv_groups_members",
       "carol",
       nullptr,
       {},
       PAM_SUCCESS,
       0,
       "not in the groups of groups=: ignored"},
      {"negated, a member: ignored",
       "zcv_groups_others",
       "carol",
       nullptr,
       {},
       PAM_SUCCESS,
       0,
       "in the groups of groups=: ignored"},
      {"negated, not a member",
       "zcv_groups_others",
       "alice",
       nullptr,
       {"{A}"},
       PAM_SUCCESS,
       1,
       "accepted by card 1001"},
      {"unknown group",
       "zcv_groups_unknown",
       "alice",
       nullptr,
       {},
       PAM_SERVICE_ERR,
       0,
       "unknown group nosuchgroup"},
  };
  RunCases(cases);
}

TEST_F(PamModuleTest, FilesNotOnlyRootsAreRefused) {
  const struct {
    const char* name;
    const std::string& path;
    mode_t mode;
    uid_t owner;
    const char* ca_file;  // the configuration's [TLS] CAFile; null: no [TLS]
    std::string logged;
  } cases[] = {
      {"authfile writable by others", kAuthfile, 0646, 0, nullptr, kAuthfile + " is "},
      {"authfile writable by group", kAuthfile, 0664, 0, nullptr, kAuthfile + " is "},
      {"config writable by others", kConfig, 0602, 0, nullptr, kConfig + " is "},
      {"config owned by another user", kConfig, 0644, 65534, nullptr, kConfig + " is "},
      {"CA file writable by others", kCaFile, 0646, 0, kCaFile.c_str(), kCaFile + " is "},
      {"CA file owned by another user", kCaFile, 0644, 65534, kCaFile.c_str(), kCaFile + " is "},
      {"CA file named relative", kCaFile, 0644, 0, "ca.pem", "CAFile must be an absolute path"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFiles();
    if (c.ca_file != nullptr) {
      WriteConfig(port_, std::string("[TLS]\nEnabled=1\nCAFile=") + c.ca_file + "\n");
      WriteFile(kCaFile, "-----BEGIN CERTIFICATE-----\n");
      ASSERT_EQ(::chown(kCaFile.c_str(), 0, 0), 0);
    }
    ASSERT_EQ(::chmod(c.path.c_str(), c.mode), 0);
    ASSERT_EQ(::chown(c.path.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
    const Outcome outcome = Authenticate("zcv", "alice", {Expand("{A}")});
    EXPECT_EQ(outcome.result, PAM_AUTHINFO_UNAVAIL);
    EXPECT_NE(outcome.log.find(c.logged), std::string::npos) << outcome.log;
    EXPECT_EQ(server_->RequestCount(), 0u);
  }
}

// Over TLS the library trusts the CA bytes the module checked: the test CA
// signs the simulator's certificate.
TEST_F(PamModuleTest, TlsTrustsTheCheckedCaFile) {
  server_->Stop();
  const zcv::test::TestPki& pki = zcv::test::Pki();
  const std::string certificate = kDir + "/server.pem";
  const std::string key = kDir + "/server.key";
  WriteFile(certificate, pki.ip.certificatePem);
  WriteFile(key, pki.ip.keyPem, 0600);
  server_ = std::make_unique<zcv::sim::SimServer>(*service_);
  std::string error;
  ASSERT_TRUE(server_->SetTls(certificate, key, &error)) << error;
  port_ = server_->Start("127.0.0.1", 0);
  ASSERT_GT(port_, 0);
  WriteFiles();
  WriteConfig(port_, "[TLS]\nEnabled=1\nCAFile=" + kCaFile + "\n");
  const struct {
    const char* name;
    std::string ca;
    int result;
  } cases[] = {
      {"the test CA", pki.caPem, PAM_SUCCESS},
      {"another CA", pki.selfSigned.certificatePem, PAM_AUTHINFO_UNAVAIL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(kCaFile, c.ca);
    ASSERT_EQ(::chown(kCaFile.c_str(), 0, 0), 0);
    const Outcome outcome = Authenticate("zcv", "alice", {Expand("{A}")});
    EXPECT_EQ(outcome.result, c.result) << outcome.log;
  }
}

// A server that takes the connection and the request but never answers:
// the configuration's CallTimeout ends the login.
TEST_F(PamModuleTest, SilentServerEndsWithinTheBound) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 8), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  WriteConfig(ntohs(address.sin_port), "CallTimeout=1\n");

  const auto start = std::chrono::steady_clock::now();
  const Outcome outcome = Authenticate("zcv", "bob", {Expand("{B}")});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ::close(listener);

  EXPECT_EQ(outcome.result, PAM_AUTHINFO_UNAVAIL);
  EXPECT_NE(outcome.log.find("no usable answer"), std::string::npos) << outcome.log;
  // The bound of 1 s, and a generous slack for a loaded machine.
  EXPECT_LT(elapsed, std::chrono::seconds(5)) << outcome.log;
}

}  // namespace
