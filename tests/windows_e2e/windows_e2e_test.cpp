// The Windows DLL as existing hosts use it: host programs under Wine load
// it, by name (LoadLibrary and the MSVC-decorated names) or through an
// import library, and call it against loopback servers on the Linux side.
// The DLL reads c:\cfgfile.ini from the prefix's drive_c and logs to
// d:\logfile.txt, with d: mapped to a directory of the stage's. The stage
// (tests/windows_e2e/wine-stage.sh, named by ZCV_E2E_STAGE) is set up once
// for all cases; each case runs as a process of its own.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/keep_alive_server.h"
#include "tests/support/script_server.h"
#include "tests/support/test_socket.h"
#include "tests/support/tls_script_server.h"
#include "tests/support/tls_test_pki.h"

namespace zcv::test {
namespace {

namespace fs = std::filesystem;
using ::testing::AnyOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The output of a shell command, or nothing when it failed.
std::string Capture(const std::string& command, int* status) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0) out.append(chunk, got);
  const int raw = pclose(pipe.release());
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Quote(const std::string& word) { return "'" + word + "'"; }

constexpr int kNoNamespaces = -1;
constexpr int kNotExited = -2;

// In a child with its own mount and network namespaces, where
// /etc/resolv.conf names one server, 127.0.0.1, whose port 53 is bound and
// never answers: runs `command` through the shell with its output in
// `output`. The shell's exit status; kNoNamespaces when the namespaces
// cannot be made (not root, or a sandbox forbids them), which the child
// reports through a pipe that the shell never holds; kNotExited when it
// did not exit (a signal), which is a failure like any other status.
int RunWithSilentResolver(const std::string& command, const fs::path& dir, std::string* output) {
  const fs::path conf = dir / "resolv.conf";
  const fs::path out = dir / "silent-resolver.out";
  std::ofstream(conf) << "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return kNotExited;
  const pid_t child = fork();
  if (child < 0) return kNotExited;
  if (child == 0) {
    close(report[0]);
    const auto refuse = [&] {
      const char no = 'n';
      [[maybe_unused]] const ssize_t ignored = write(report[1], &no, 1);
      _exit(1);
    };
    if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(conf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
      refuse();
    }
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq loopback{};
    std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    loopback.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    // Bound and never read, left open for the shell and what it runs.
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (control < 0 || ioctl(control, SIOCSIFFLAGS, &loopback) != 0 || silent < 0 ||
        bind(silent, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      refuse();
    }
    const std::string redirected = command + " >" + Quote(out.string()) + " 2>/dev/null";
    execl("/bin/sh", "sh", "-c", redirected.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(report[1]);
  char refused = 0;
  const bool noNamespaces = read(report[0], &refused, 1) == 1;
  close(report[0]);
  int raw = 0;
  waitpid(child, &raw, 0);
  if (noNamespaces) return kNoNamespaces;
  if (!WIFEXITED(raw)) return kNotExited;
  *output = ReadBytes(out);
  return WEXITSTATUS(raw);
}

// Log entries without their time stamps: "<17-char stamp> : <message> ".
std::vector<std::string> Messages(const std::string& log) {
  constexpr std::size_t kStamp = 17;
  std::vector<std::string> messages;
  std::size_t pos = 0;
  while (pos + kStamp + 3 <= log.size()) {
    if (!messages.empty() && log[pos] == ' ') ++pos;
    std::size_t end = log.find('\n', pos);
    end = end == std::string::npos ? log.size() : end + 1;
    messages.push_back(log.substr(pos + kStamp + 3, end - pos - kStamp - 3));
    pos = end;
  }
  return messages;
}

std::string Reply(const std::string& elements) {
  return HttpReply("<?xml version=\"1.0\"?><Reply>" + elements + "</Reply>");
}

std::string Ini(const std::vector<std::uint16_t>& ports) {
  std::string text = "[ServerSet]\r\nServerNumber=" + std::to_string(ports.size()) + "\r\n";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    text += "ServerIP" + std::to_string(i) + "=127.0.0.1\r\nServerPort" + std::to_string(i) + "=" +
            std::to_string(ports[i]) + "\r\n";
  }
  return text;
}

// The stage's programs, besides the DLL: zcv_win_host resolves by name,
// the others link an import library (tests/windows/CMakeLists.txt).
constexpr char kByName[] = "zcv_win_host.exe";
constexpr char kLinkedMsvc[] = "zcv_linked_host_msvc.exe";
constexpr char kLinkedGnu[] = "zcv_linked_host_gnu.exe";
constexpr char kCHostMsvc[] = "zcv_c_host_msvc.exe";
constexpr char kCHostGnu[] = "zcv_c_host_gnu.exe";

class WindowsDllTest : public ::testing::Test {
 protected:
  // Nothing here may fail fatally: GoogleTest then reports every case of the
  // suite as skipped, and CTest shows a skip. SetUp() checks instead.
  static void SetUpTestSuite() {
    const char* stage = std::getenv("ZCV_E2E_STAGE");
    if (stage == nullptr) return;
    root_ = new fs::path(stage);
    std::ifstream(*root_ / "loader") >> *loader_;
    std::ofstream(Prefix() / "drive_c" / "ca.pem", std::ios::binary) << Pki().caPem;
  }

  static void TearDownTestSuite() {
    delete root_;
    root_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(root_, nullptr) << "ZCV_E2E_STAGE names no stage: run the test through ctest";
    ASSERT_TRUE(fs::is_regular_file(Prefix() / "drive_c" / "ca.pem")) << "the stage is not set up";
    ASSERT_FALSE(loader_->empty()) << "the stage names no Wine loader";
    fs::remove(Logs() / "logfile.txt");
  }

  static fs::path Prefix() { return *root_ / "prefix"; }
  static fs::path Logs() { return *root_ / "logs"; }
  static fs::path Programs() { return *root_ / "programs"; }
  static fs::path ConfigFile() { return Prefix() / "drive_c" / "cfgfile.ini"; }
  static std::string Environment() {
    // The 64-bit loader run by itself is also the loader Wine starts again.
    const std::string& loader = *loader_;
    const bool loader64 = loader.size() > 2 && loader.compare(loader.size() - 2, 2, "64") == 0;
    return "WINEPREFIX=" + Quote(fs::canonical(Prefix()).string()) +
           (loader64 ? " WINELOADER=" + Quote(loader) : std::string()) +
           " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= TZ=UTC ";
  }

  void WriteConfig(const std::string& text) {
    std::ofstream(ConfigFile(), std::ios::binary) << text;
  }
  std::string Log() const { return ReadBytes(Logs() / "logfile.txt"); }

  // Runs a host with these commands; one output line per command.
  std::vector<std::string> Host(const std::vector<std::string>& commands,
                                const char* program = kByName) {
    int status = 0;
    const std::string out = Capture(HostCommand(commands, program) + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << out;
    return Lines(out);
  }

  static std::string HostCommand(const std::vector<std::string>& commands,
                                 const char* program = kByName) {
    std::string command =
        Environment() + Quote(*loader_) + " " + Quote((Programs() / program).string());
    for (const std::string& c : commands) command += " " + Quote(c);
    return command;
  }

  static std::vector<std::string> Lines(const std::string& out) {
    std::istringstream in(out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }

  static fs::path* root_;
  static std::string* loader_;
};

fs::path* WindowsDllTest::root_ = nullptr;
std::string* WindowsDllTest::loader_ = new std::string;

TEST_F(WindowsDllTest, EveryOperationResolvesByItsDecoratedName) {
  WriteConfig(Ini({}));
  // 28 operations, 4 Java natives, 34 C functions, 31 natives of TokenClient.
  EXPECT_THAT(Host({"resolve"}), ElementsAre("resolved 97"));
}

TEST_F(WindowsDllTest, FailsOverAndWritesTheRotatedOrderBackAtUnload) {
  ScriptServer unreadable(Script{Send(HttpReply("<html>busy</html"))});
  ScriptServer answering(
      Script{Send(Reply("<Result>9999</Result><ExpireTime>1704067200</ExpireTime>"))});
  const std::uint16_t refused = UnusedPort();
  WriteConfig(Ini({refused, unreadable.port(), answering.port()}));

  EXPECT_THAT(Host({"TokenAuth 123 456 -"}), ElementsAre("9999 2024-01-01 00:00:00"));
  EXPECT_THAT(answering.paths(), ElementsAre("/TokenAuth.asp?iCardNo=123&iDynpasswd=456"));
  // Text-mode log: each message's line feed is CR LF on disk.
  EXPECT_THAT(Messages(Log()), ElementsAre("127.0.0.1  connect error: connection refused\r\n",
                                           "parse xml error\r\n"));
  EXPECT_EQ(ReadBytes(ConfigFile()), Ini({answering.port(), refused, unreadable.port()}));
}

TEST_F(WindowsDllTest, GateRefusesWithoutARequestAfterThreeCallsFoundNoServer) {
  WriteConfig(Ini({UnusedPort()}));
  EXPECT_THAT(Host({"TokenAuth 1 2 -", "TokenAuth 1 2 -", "TokenAuth 1 2 -", "TokenAuth 1 2 -"}),
              ElementsAre("1012 ", "1012 ", "1012 ", "1012 "));
  EXPECT_THAT(Messages(Log()),
              ElementsAre("127.0.0.1  connect error: connection refused\r\n",
                          "127.0.0.1  connect error: connection refused\r\n",
                          "127.0.0.1  connect error: connection refused\r\n",
                          "authentication refused for 150 s after 3 calls without a server\r\n"));
}

// An IPv6 address in ServerIP: dialed as such, in brackets in the Host
// header and in the log line, each failure with its reason.
TEST_F(WindowsDllTest, ReachesAnIpv6AddressAndSaysWhyAnAttemptFailed) {
  net::ListenOnIpv6Loopback(true);
  ScriptServer answering(
      Script{Send(Reply("<Result>9999</Result><ExpireTime>1704067200</ExpireTime>"))});
  ScriptServer stalling(Script{Hang()});
  net::ListenOnIpv6Loopback(false);
  const std::uint16_t refused = UnusedPort();
  WriteConfig("[ServerSet]\r\nServerNumber=3\r\nReceiveTimeout=1\r\nServerIP0=::1\r\nServerPort0=" +
              std::to_string(refused) +
              "\r\nServerIP1=::1\r\nServerPort1=" + std::to_string(stalling.port()) +
              "\r\nServerIP2=::1\r\nServerPort2=" + std::to_string(answering.port()) + "\r\n");
  EXPECT_THAT(Host({"TokenAuth 123 456 -"}), ElementsAre("9999 2024-01-01 00:00:00"));
  ASSERT_EQ(answering.requests().size(), 1u);
  EXPECT_THAT(answering.requests()[0], HasSubstr("\r\nHost: [::1]\r\n"));
  EXPECT_THAT(Messages(Log()), ElementsAre("[::1]  connect error: connection refused\r\n",
                                           "[::1]  connect error: no reply within 1 s\r\n"));
}

TEST_F(WindowsDllTest, BindingRowsStatusAndPasswordThroughTheDomReader) {
  ScriptServer server([](const std::string& request) {
    if (request.find("TokenBindInfoQuery") != std::string::npos) {
      return Script{
          Send(Reply("<Result>9999</Result><RowCount>2</RowCount>"
                     "<Row><AppNo>11</AppNo><AppNo2>12</AppNo2><Account>acct-one</Account>"
                     "<Bindtime>2024-01-01 10:00:00</Bindtime></Row>"
                     "<AppNo>21</AppNo><AppNo2>22</AppNo2><Account>12345678901234567890</Account>"
                     "<Bindtime>2024-02-02 20:00:00</Bindtime>"))};
    }
    if (request.find("TokenStatus") != std::string::npos) {
      return Script{
          Send(Reply("<Result>9999</Result><ExpireTime>0</ExpireTime><CardStatus>2</CardStatus>"))};
    }
    return Script{Send(Reply("<Result>9999</Result><ResvPassWord>654321</ResvPassWord>"))};
  });
  WriteConfig(Ini({server.port()}));
  EXPECT_THAT(Host({"TokenBindInfoQuery 7 8 - -", "TokenStatus 7 - -", "TokenBindOther 7 8 -"}),
              ElementsAre("9999 2;11,12,acct-one,2024-01-01 10:00:00;"
                          "21,22,12345678901234567890,2024-02-02 20:00:00",
                          "9999 2 1970-01-01 00:00:00", "9999 654321"));
  EXPECT_EQ(Log(), "");
}

// Every operation through each way of reaching it, against one server whose
// reply holds every element that some operation reads.
constexpr char kExpiry[] = " 2024-01-01 00:00:00";
constexpr char kPassword[] = " 654321";

// Each operation's command, and what its line holds after the result code.
std::vector<std::pair<std::string, std::string>> OperationCases() {
  const std::string expiry = kExpiry;
  return {
      {"TokenAuth 1 2 -", expiry},
      {"TokenAuth2 1 2 -", expiry},
      {"TokenAuth2Next 1 2 3 -", expiry},
      {"TokenBinding 1 2 3 4 acct -", std::string(" acct") + kPassword},
      {"TokenBinding2 1 2 3 4 acct -", std::string(" acct") + kPassword},
      {"TokenBinding2Next 1 2 3 4 5 acct -", std::string(" acct") + kPassword},
      {"TokenUnBinding 1 svc 2 3 4 acct", " svc acct"},
      {"TokenUnBinding2 1 svc 2 3 4 acct", " svc acct"},
      {"TokenUnBinding2Next 1 svc 2 3 4 5 acct", " svc acct"},
      {"TokenUnBindingEx 1 2 3 acct", " acct"},
      {"TokenUnBindingEx2 1 2 3 acct 123456", " acct 123456"},
      {"TokenEnable svc 2 n 1 i m t p e a -", " svc n i m t p e a" + expiry},
      {"TokenEnableNext svc 2 3 n 1 i m t p e a -", " svc n i m t p e a" + expiry},
      {"TokenDisable 1 svc i 2 3 acct op", " svc i acct op"},
      {"TokenLoss 1 svc 9 2 3 acct op", " svc acct op"},
      {"TokenUnLoss 1 svc 2 op", " svc op"},
      {"TokenUnLossNext 1 svc 2 3 op", " svc op"},
      {"TokenBindInfoQuery 7 8 - -", " 1;11,12,acct,2024-01-01 10:00:00"},
      {"TokenBindInfoQueryNext 7 8 9 - -", " 1;11,12,acct,2024-01-01 10:00:00"},
      {"TokenStatus 5 - -", " 2" + expiry},
      {"TokenChange 1 old new 2", " old new"},
      {"TokenChangeNext 1 old new 2 3", " old new"},
      {"TokenModifyInfo 1 2 n 3 i m t p e a", " n i m t p e a"},
      {"TokenModifyInfoNext 1 2 3 n 4 i m t p e a", " n i m t p e a"},
      {"TokenBindEsale 1 2 -", kPassword},
      {"TokenBindEsaleNext 1 2 3 -", kPassword},
      {"TokenBindOther 1 2 -", kPassword},
      {"TokenBindOtherNext 1 2 3 -", kPassword},
  };
}

constexpr char kEveryElement[] =
    "<Result>9999</Result><ExpireTime>1704067200</ExpireTime><ResvPassWord>654321</ResvPassWord>"
    "<RowCount>1</RowCount><AppNo>11</AppNo><AppNo2>12</AppNo2><Account>acct</Account>"
    "<Bindtime>2024-01-01 10:00:00</Bindtime><CardStatus>2</CardStatus>";

class WindowsHostTest : public WindowsDllTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WindowsHostTest, EveryOperationAnswersWithItsOutputs) {
  ScriptServer server([](const std::string&) { return Script{Send(Reply(kEveryElement))}; });
  WriteConfig(Ini({server.port()}));
  std::vector<std::string> commands, lines;
  for (const auto& [command, tail] : OperationCases()) {
    commands.push_back(command);
    lines.push_back("9999" + tail);
  }
  EXPECT_EQ(Host(commands, GetParam()), lines);
  const std::vector<std::string> paths = server.paths();
  ASSERT_EQ(paths.size(), commands.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string name = commands[i].substr(0, commands[i].find(' '));
    EXPECT_THAT(paths[i], StartsWith("/" + name + ".asp?")) << commands[i];
  }
  EXPECT_EQ(Log(), "");
}

INSTANTIATE_TEST_SUITE_P(Hosts, WindowsHostTest,
                         ::testing::Values(kByName, kLinkedMsvc, kLinkedGnu), [](const auto& info) {
                           std::string name = info.param;
                           name = name.substr(4, name.find('.') - 4);
                           name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
                           return name;
                         });

TEST_F(WindowsDllTest, MissingConfigurationIsLoggedInGbkAndRefusesEveryCall) {
  fs::remove(ConfigFile());
  EXPECT_THAT(Host({"TokenAuth 1 2 -", "TokenStatus 1 - -"}), ElementsAre("1012 ", "1012 -1 "));
  // "读配置文件错误 \n" in GBK, its line feed as CR LF.
  EXPECT_THAT(Messages(Log()),
              ElementsAre("\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \r\n"));
  EXPECT_FALSE(fs::exists(ConfigFile()));
}

// Over TLS: the connection table of the Linux build against the DLL's
// Schannel, with the Linux side's TLS test server and its certificates.

// Seconds; Wine starts a program in about one, so a stall is told apart
// from the time-out's end by the host's own clock.
constexpr int kTlsConnectTimeout = 2;
constexpr char kAccepting[] =
    "<?xml version=\"1.0\"?><Reply><Result>9999</Result><ExpireTime>1704067200</ExpireTime>"
    "</Reply>";
constexpr char kTls13Refused[] = "[TLS] MinVersion: TLS 1.3 is not offered by this system\r\n";

enum class Trust { kCaFile, kSystem };

std::string TlsIni(const std::string& host, std::uint16_t port, const std::string& tlsLines,
                   Trust trust = Trust::kCaFile) {
  const std::string timeout = std::to_string(kTlsConnectTimeout);
  return "[ServerSet]\r\nServerNumber=1\r\nConnectTimeout=" + timeout +
         "\r\nSendTimeout=" + timeout + "\r\nReceiveTimeout=" + timeout + "\r\nServerIP0=" + host +
         "\r\nServerPort0=" + std::to_string(port) + "\r\n[TLS]\r\nEnabled=1\r\n" +
         (trust == Trust::kCaFile ? "CAFile=c:\\ca.pem\r\n" : "") + tlsLines;
}

// "<result line> in <ms> ms" from a timed command: the line and the time.
std::pair<std::string, long> SplitTimed(const std::string& line) {
  const std::size_t in = line.rfind(" in ");
  if (in == std::string::npos) return {line, -1};
  return {line.substr(0, in), std::stol(line.substr(in + 4))};
}

enum class Peer { kTls, kPlainHttp, kStall };

struct TlsCase {
  const char* name;
  Peer peer;
  const Credential& (*credential)();
  const char* host;
  std::string tlsLines;
  int serverMaxVersion;
  bool closeNotify;
  bool untilClose;
  bool accepted;
  const char* reason;  // the logged reason when it is ours to assert; "" any
  Trust trust = Trust::kCaFile;
};

const Credential& IpCredential() { return Pki().ip; }
const Credential& LocalhostCredential() { return Pki().localhost; }
const Credential& ExpiredCredential() { return Pki().expired; }
const Credential& OtherNameCredential() { return Pki().otherName; }
const Credential& SelfSignedCredential() { return Pki().selfSigned; }
const Credential& OtherCaCredential() { return Pki().otherCa; }
const Credential& ChainedCredential() { return Pki().chained; }
const Credential& UnchainedCredential() { return Pki().unchained; }

constexpr char kIssuerUnknown[] = "unable to get local issuer certificate";

std::vector<TlsCase> TlsCases() {
  const std::string pins = "PinSHA256=" + Pki().otherPin + " , " + Pki().ipPin + "\r\n";
  return {
      {"VerifiedByAddress", Peer::kTls, IpCredential, "127.0.0.1", "", 0, true, false, true, ""},
      {"VerifiedByName", Peer::kTls, LocalhostCredential, "localhost", "", 0, true, false, true,
       ""},
      {"UntilCloseWithTheTlsClose", Peer::kTls, IpCredential, "127.0.0.1", "", 0, true, true, true,
       ""},
      {"PinMatches", Peer::kTls, IpCredential, "127.0.0.1", pins, 0, true, false, true, ""},
      {"WrongName", Peer::kTls, OtherNameCredential, "localhost", "", 0, true, false, false,
       "hostname mismatch"},
      {"NameWhereAnAddressIsDue", Peer::kTls, LocalhostCredential, "127.0.0.1", "", 0, true, false,
       false, "IP address mismatch"},
      {"Expired", Peer::kTls, ExpiredCredential, "127.0.0.1", "", 0, true, false, false,
       "certificate has expired"},
      {"UnknownIssuer", Peer::kTls, SelfSignedCredential, "127.0.0.1", "", 0, true, false, false,
       ""},
      {"IntermediateSent", Peer::kTls, ChainedCredential, "127.0.0.1", "", 0, true, false, true,
       ""},
      // A leaf whose issuer is neither sent nor trusted: a chain that stops
      // short of any root, with the CAFile and with the system's roots.
      {"IssuerNowhereTrusted", Peer::kTls, OtherCaCredential, "127.0.0.1", "", 0, true, false,
       false, kIssuerUnknown},
      {"IssuerNowhereTrustedWithoutCAFile", Peer::kTls, OtherCaCredential, "127.0.0.1", "", 0, true,
       false, false, kIssuerUnknown, Trust::kSystem},
      {"IntermediateNeitherSentNorKnown", Peer::kTls, UnchainedCredential, "127.0.0.1", "", 0, true,
       false, false, kIssuerUnknown},
      {"TestCaWithoutCAFile", Peer::kTls, IpCredential, "127.0.0.1", "", 0, true, false, false,
       kIssuerUnknown, Trust::kSystem},
      {"PinMismatch", Peer::kTls, IpCredential, "127.0.0.1", "PinSHA256=" + Pki().otherPin + "\r\n",
       0, true, false, false, "server key matches no PinSHA256 entry"},
      {"OnlyTls11Offered", Peer::kTls, IpCredential, "127.0.0.1", "", TLS1_1_VERSION, true, false,
       false, ""},
      {"MinVersion13AgainstTls12", Peer::kTls, IpCredential, "127.0.0.1", "MinVersion=1.3\r\n",
       TLS1_2_VERSION, true, false, false, ""},
      {"UntilCloseWithoutTheTlsClose", Peer::kTls, IpCredential, "127.0.0.1", "", 0, false, true,
       false, "connection closed without the server's TLS close"},
      {"PlainHttpServer", Peer::kPlainHttp, IpCredential, "127.0.0.1", "", 0, true, false, false,
       ""},
      {"StallingHandshake", Peer::kStall, IpCredential, "127.0.0.1", "", 0, true, false, false,
       "handshake timed out"},
  };
}

class WindowsTlsTest : public WindowsDllTest, public ::testing::WithParamInterface<TlsCase> {};

TEST_P(WindowsTlsTest, AcceptsOnlyAVerifiedServer) {
  const TlsCase& c = GetParam();
  const std::string reply =
      c.untilClose ? std::string("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n") + kAccepting
                   : HttpReply(kAccepting);
  std::optional<TlsScriptServer> tls;
  std::optional<ScriptServer> plain;
  if (c.peer == Peer::kTls) {
    TlsServerOptions options;
    options.credential = c.credential();
    options.maxVersion = c.serverMaxVersion;
    options.closeNotify = c.closeNotify;
    tls.emplace(Script{Send(reply)}, options);
  } else {
    plain.emplace(Script{c.peer == Peer::kPlainHttp ? Send(reply) : Hang()}, HeadRead::kSkip);
  }
  WriteConfig(TlsIni(c.host, tls ? tls->port() : plain->port(), c.tlsLines, c.trust));

  const std::vector<std::string> lines = Host({"timed TokenAuth 1 2 -"});
  ASSERT_EQ(lines.size(), 1u);
  const auto [line, elapsedMs] = SplitTimed(lines[0]);
  // A stall ends with the connect time-out, whatever the server does.
  EXPECT_LT(elapsedMs, kTlsConnectTimeout * 1000 + 3000);
  if (c.accepted) {
    EXPECT_EQ(line, "9999 2024-01-01 00:00:00");
    EXPECT_THAT(Log(), IsEmpty());
    return;
  }
  EXPECT_EQ(line, "1012 ");
  const std::string prefix = std::string(c.host) + "  tls error: ";
  const std::vector<std::string> log = Messages(Log());
  ASSERT_EQ(log.size(), 1u) << Log();
  if (*c.reason != '\0') {
    EXPECT_EQ(log[0], prefix + c.reason + "\r\n");
  } else {
    // Where the system offers no TLS 1.3 the list is refused at load.
    EXPECT_THAT(log[0], AnyOf(StartsWith(prefix), Eq(kTls13Refused)));
  }
  // Never a second try in clear text, nor a request before the check.
  if (plain) {
    EXPECT_LE(plain->connections(), 1);
  }
  if (tls && !c.untilClose) {
    EXPECT_THAT(tls->plain().requests(), Each(Not(HasSubstr("GET"))))
        << "sent to an unverified server";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowsTlsTest, ::testing::ValuesIn(TlsCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsDllTest, ANameTheResolverNeverAnswersFailsWithinTheConnectTimeOut) {
  WriteConfig(
      "[ServerSet]\r\nServerNumber=1\r\nConnectTimeout=" + std::to_string(kTlsConnectTimeout) +
      "\r\nServerIP0=zcv-silent.example\r\nServerPort0=80\r\n");
  std::string out;
  const int status = RunWithSilentResolver(HostCommand({"timed TokenAuth 1 2 -"}), *root_, &out);
  if (status == kNoNamespaces) GTEST_SKIP() << "no mount and network namespaces here";
  EXPECT_EQ(status, 0);
  const std::vector<std::string> lines = Lines(out);
  ASSERT_EQ(lines.size(), 1u) << out;
  const auto [line, elapsedMs] = SplitTimed(lines[0]);
  EXPECT_EQ(line, "1012 ");
  EXPECT_GE(elapsedMs, kTlsConnectTimeout * 1000 - 100);
  EXPECT_LT(elapsedMs, kTlsConnectTimeout * 1000 + 3000);
  EXPECT_THAT(Messages(Log()),
              ElementsAre("zcv-silent.example  connect error: no address (lookup timed out after " +
                          std::to_string(kTlsConnectTimeout) + " s)\r\n"));
}

// The [TLS] entries that make the list invalid, as on Linux: one log line
// naming the key, and no connection at all, in clear text or otherwise.
struct EntryCase {
  const char* name;
  std::string tlsSection;
  const char* logLine;  // nullptr: valid, plain HTTP as without the section
};

std::vector<EntryCase> EntryCases() {
  const std::string pin = Pki().ipPin;
  const std::string enabled = "Enabled=1\r\nCAFile=c:\\ca.pem\r\n";
  constexpr const char* kBadPin = "[TLS] PinSHA256: malformed pin (base64 of a SHA-256 hash)\r\n";
  constexpr const char* kBadCa = "[TLS] CAFile: cannot be read\r\n";
  return {
      {"DisabledKeepsPlainHttp", "Enabled=0\r\nMinVersion=1.3\r\nPinSHA256=" + pin + "\r\n",
       nullptr},
      {"EnabledUnknown", "Enabled=yes\r\n", "[TLS] Enabled: unknown value (0 or 1)\r\n"},
      {"MinVersionTooOld", enabled + "MinVersion=1.1\r\n",
       "[TLS] MinVersion: unknown value (1.2 or 1.3)\r\n"},
      {"PinNotBase64", enabled + "PinSHA256=not a pin\r\n", kBadPin},
      {"PinWithStrayBits", enabled + "PinSHA256=" + pin.substr(0, 42) + "/=\r\n", kBadPin},
      {"CAFileMissing", "Enabled=1\r\nCAFile=c:\\missing.pem\r\n", kBadCa},
      {"CAFileWithoutCertificates", "Enabled=1\r\nCAFile=c:\\cfgfile.ini\r\n", kBadCa},
  };
}

class WindowsTlsEntryTest : public WindowsDllTest,
                            public ::testing::WithParamInterface<EntryCase> {};

TEST_P(WindowsTlsEntryTest, AnInvalidEntryMakesTheListInvalid) {
  const EntryCase& c = GetParam();
  ScriptServer plain(Script{Send(HttpReply(kAccepting))});
  WriteConfig(Ini({plain.port()}) + "[TLS]\r\n" + c.tlsSection);

  if (c.logLine == nullptr) {
    EXPECT_THAT(Host({"TokenAuth 1 2 -"}), ElementsAre("9999 2024-01-01 00:00:00"));
    EXPECT_THAT(plain.requests(), ElementsAre(HasSubstr("GET /TokenAuth.asp")));
    return;
  }
  EXPECT_THAT(Host({"TokenAuth 1 2 -"}), ElementsAre("1012 "));
  EXPECT_THAT(Messages(Log()), ElementsAre(c.logLine));
  EXPECT_EQ(plain.connections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Entries, WindowsTlsEntryTest, ::testing::ValuesIn(EntryCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The hosts that link an import library, over plain HTTP and verified TLS:
// the C interface's host opens a client on the stage's files.
struct LinkedCase {
  const char* program;
  bool tls;
};

class WindowsLinkedHostTest : public WindowsDllTest,
                              public ::testing::WithParamInterface<LinkedCase> {};

TEST_P(WindowsLinkedHostTest, AuthenticatesOverPlainHttpAndVerifiedTls) {
  const LinkedCase& c = GetParam();
  std::optional<TlsScriptServer> tls;
  std::optional<ScriptServer> plain;
  if (c.tls) {
    TlsServerOptions options;
    options.credential = Pki().ip;
    tls.emplace(Script{Send(HttpReply(kAccepting))}, options);
    WriteConfig(TlsIni("127.0.0.1", tls->port(), ""));
  } else {
    plain.emplace(Script{Send(HttpReply(kAccepting))});
    WriteConfig(Ini({plain->port()}));
  }
  const bool cHost = std::string(c.program).find("_c_") != std::string::npos;
  const std::vector<std::string> command =
      cHost ? std::vector<std::string>{"c:\\cfgfile.ini", "d:\\logfile.txt", "1", "2"}
            : std::vector<std::string>{"TokenAuth 1 2 -"};
  EXPECT_THAT(Host(command, c.program), ElementsAre(std::string("9999") + kExpiry));
  EXPECT_THAT(c.tls ? tls->plain().paths() : plain->paths(),
              ElementsAre("/TokenAuth.asp?iCardNo=1&iDynpasswd=2"));
  EXPECT_EQ(Log(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, WindowsLinkedHostTest,
    ::testing::Values(LinkedCase{kLinkedMsvc, false}, LinkedCase{kLinkedMsvc, true},
                      LinkedCase{kLinkedGnu, false}, LinkedCase{kLinkedGnu, true},
                      LinkedCase{kCHostMsvc, false}, LinkedCase{kCHostMsvc, true},
                      LinkedCase{kCHostGnu, false}, LinkedCase{kCHostGnu, true}),
    [](const auto& info) {
      std::string name = info.param.program;
      name = name.substr(4, name.find('.') - 4);
      name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
      return name + (info.param.tls ? "OverTls" : "OverHttp");
    });

// Schannel resumes by target name within the DLL's one credentials handle;
// Wine's Schannel keeps no sessions, so here each call makes a full
// handshake and only the second call's answer is checked.
TEST_F(WindowsDllTest, LaterCallsOverTlsAnswerAgain) {
  TlsServerOptions options;
  options.credential = Pki().ip;
  TlsScriptServer server(Script{Send(HttpReply(kAccepting))}, options);
  WriteConfig(TlsIni("127.0.0.1", server.port(), ""));

  EXPECT_THAT(Host({"TokenAuth 1 2 -", "TokenAuth 1 2 -"}),
              ElementsAre("9999 2024-01-01 00:00:00", "9999 2024-01-01 00:00:00"));
  EXPECT_EQ(server.handshakes(), 2);
}

// KeepAlive: every call of one host process over one connection, plain
// and over Schannel (one handshake), as on POSIX.
TEST_F(WindowsDllTest, KeepAliveServesEveryCallOverOneConnection) {
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "TLS" : "plain");
    KeepAliveServer backend({kAccepting});
    std::optional<TlsScriptServer> front;
    std::string ini;
    if (tls) {
      TlsServerOptions options;
      options.credential = Pki().ip;
      front.emplace(backend.port(), options);
      ini = TlsIni("127.0.0.1", front->port(), "");
    } else {
      ini = Ini({backend.port()});
    }
    ini.insert(ini.find("\r\n") + 2, "KeepAlive=30\r\n");
    WriteConfig(ini);

    const std::vector<std::string> commands(5, "TokenAuth 1 2 -");
    EXPECT_THAT(Host(commands), ElementsAre("9999 2024-01-01 00:00:00", "9999 2024-01-01 00:00:00",
                                            "9999 2024-01-01 00:00:00", "9999 2024-01-01 00:00:00",
                                            "9999 2024-01-01 00:00:00"));
    EXPECT_EQ(backend.connections(), 1);
    if (front) {
      EXPECT_EQ(front->handshakes(), 1);
    }
    EXPECT_EQ(Log(), "");
  }
}

}  // namespace
}  // namespace zcv::test
