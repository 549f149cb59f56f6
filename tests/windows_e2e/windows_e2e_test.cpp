// The Windows DLL as an existing host uses it: a host program under Wine
// loads it, resolves the operations by their MSVC-decorated names and calls
// them against loopback servers on the Linux side. The DLL reads
// c:\cfgfile.ini from the prefix's drive_c and logs to d:\logfile.txt, with
// d: mapped to a directory of the test's.
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

#include "tests/support/script_server.h"
#include "tests/support/test_socket.h"
#include "tests/support/tls_script_server.h"
#include "tests/support/tls_test_pki.h"

namespace zcv::test {
namespace {

namespace fs = std::filesystem;
using ::testing::AnyOf;
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

// In a child with its own mount and network namespaces, where
// /etc/resolv.conf names one server, 127.0.0.1, whose port 53 is bound and
// never answers: runs `command` through the shell with its output in
// `output`. The child's exit status, or -1 when the namespaces cannot be
// made (not root, or a sandbox forbids them).
int RunWithSilentResolver(const std::string& command, const fs::path& dir, std::string* output) {
  const fs::path conf = dir / "resolv.conf";
  const fs::path out = dir / "silent-resolver.out";
  std::ofstream(conf) << "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    constexpr int kNoNamespaces = 125;
    if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(conf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
      _exit(kNoNamespaces);
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
      _exit(kNoNamespaces);
    }
    const std::string redirected = command + " >" + Quote(out.string()) + " 2>/dev/null";
    execl("/bin/sh", "sh", "-c", redirected.c_str(), static_cast<char*>(nullptr));
    _exit(kNoNamespaces);
  }
  int raw = 0;
  waitpid(child, &raw, 0);
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (status == 125) return -1;
  *output = ReadBytes(out);
  return status;
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

class WindowsDllTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/zcv-wine-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = new fs::path(pattern);
    fs::create_directories(Logs());
    fs::create_directories(Programs());
    fs::copy_file(ZCV_WINDOWS_DLL, Programs() / "zephyrcoilvault.dll");
    fs::copy_file(ZCV_WINDOWS_HOST, Programs() / "zcv_win_host.exe");
    int status = 0;
    // One server for the whole suite, started here in this network
    // namespace: Wine makes its sockets there, whichever namespace a
    // program runs in.
    Capture(Environment() + "wineserver -p 2>&1", &status);
    Capture(Environment() + "wineboot -i 2>&1", &status);
    ASSERT_EQ(status, 0) << "wineboot failed";
    fs::create_symlink(Logs(), Prefix() / "dosdevices" / "d:");
    std::ofstream(Prefix() / "drive_c" / "ca.pem", std::ios::binary) << Pki().caPem;
  }

  static void TearDownTestSuite() {
    int status = 0;
    Capture(Environment() + "wineserver -k 2>&1", &status);
    std::error_code ignored;
    fs::remove_all(*root_, ignored);
    delete root_;
  }

  void SetUp() override { fs::remove(Logs() / "logfile.txt"); }

  static fs::path Prefix() { return *root_ / "prefix"; }
  static fs::path Logs() { return *root_ / "logs"; }
  static fs::path Programs() { return *root_ / "programs"; }
  static fs::path ConfigFile() { return Prefix() / "drive_c" / "cfgfile.ini"; }
  static std::string Environment() {
    return "WINEPREFIX=" + Quote(Prefix().string()) +
           " WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= TZ=UTC ";
  }

  void WriteConfig(const std::string& text) {
    std::ofstream(ConfigFile(), std::ios::binary) << text;
  }
  std::string Log() const { return ReadBytes(Logs() / "logfile.txt"); }

  // Runs the host with these commands; one output line per command.
  std::vector<std::string> Host(const std::vector<std::string>& commands) {
    int status = 0;
    const std::string out = Capture(HostCommand(commands) + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    return Lines(out);
  }

  static std::string HostCommand(const std::vector<std::string>& commands) {
    std::string command =
        Environment() + ZCV_WINE " " + Quote((Programs() / "zcv_win_host.exe").string());
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
};

fs::path* WindowsDllTest::root_ = nullptr;

TEST_F(WindowsDllTest, EveryOperationResolvesByItsDecoratedName) {
  WriteConfig(Ini({}));
  // 28 operations, 4 Java natives, 33 C functions, 30 natives of TokenClient.
  EXPECT_THAT(Host({"resolve"}), ElementsAre("resolved 95"));
}

TEST_F(WindowsDllTest, FailsOverAndWritesTheRotatedOrderBackAtUnload) {
  ScriptServer unreadable(Script{Send(HttpReply("<html>busy</html"))});
  ScriptServer answering(
      Script{Send(Reply("<Result>9999</Result><ExpireTime>1704067200</ExpireTime>"))});
  const std::uint16_t refused = UnusedPort();
  WriteConfig(Ini({refused, unreadable.port(), answering.port()}));

  EXPECT_THAT(Host({"auth 123 456"}), ElementsAre("9999 2024-01-01 00:00:00"));
  EXPECT_THAT(answering.paths(), ElementsAre("/TokenAuth.asp?iCardNo=123&iDynpasswd=456"));
  // Text-mode log: each message's line feed is CR LF on disk.
  EXPECT_THAT(Messages(Log()), ElementsAre("127.0.0.1  connect error: connection refused\r\n",
                                           "parse xml error\r\n"));
  EXPECT_EQ(ReadBytes(ConfigFile()), Ini({answering.port(), refused, unreadable.port()}));
}

TEST_F(WindowsDllTest, GateRefusesWithoutARequestAfterThreeCallsFoundNoServer) {
  WriteConfig(Ini({UnusedPort()}));
  EXPECT_THAT(Host({"auth 1 2", "auth 1 2", "auth 1 2", "auth 1 2"}),
              ElementsAre("1012 ", "1012 ", "1012 ", "1012 "));
  EXPECT_EQ(Messages(Log()),
            std::vector<std::string>(3, "127.0.0.1  connect error: connection refused\r\n"));
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
  EXPECT_THAT(Host({"auth 123 456"}), ElementsAre("9999 2024-01-01 00:00:00"));
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
  EXPECT_THAT(Host({"bindinfo 7 8", "status 7", "bindother 7 8"}),
              ElementsAre("9999 2;11,12,acct-one,2024-01-01 10:00:00;"
                          "21,22,12345678901234567890,2024-02-02 20:00:00",
                          "9999 2 1970-01-01 00:00:00", "9999 654321"));
  EXPECT_EQ(Log(), "");
}

TEST_F(WindowsDllTest, MissingConfigurationIsLoggedInGbkAndRefusesEveryCall) {
  fs::remove(ConfigFile());
  EXPECT_THAT(Host({"auth 1 2", "status 1"}), ElementsAre("1012 ", "1012 -1 "));
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

std::string TlsIni(const std::string& host, std::uint16_t port, const std::string& tlsLines) {
  const std::string timeout = std::to_string(kTlsConnectTimeout);
  return "[ServerSet]\r\nServerNumber=1\r\nConnectTimeout=" + timeout +
         "\r\nSendTimeout=" + timeout + "\r\nReceiveTimeout=" + timeout + "\r\nServerIP0=" + host +
         "\r\nServerPort0=" + std::to_string(port) +
         "\r\n[TLS]\r\nEnabled=1\r\nCAFile=c:\\ca.pem\r\n" + tlsLines;
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
};

const Credential& IpCredential() { return Pki().ip; }
const Credential& LocalhostCredential() { return Pki().localhost; }
const Credential& ExpiredCredential() { return Pki().expired; }
const Credential& OtherNameCredential() { return Pki().otherName; }
const Credential& SelfSignedCredential() { return Pki().selfSigned; }

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
  WriteConfig(TlsIni(c.host, tls ? tls->port() : plain->port(), c.tlsLines));

  const std::vector<std::string> lines = Host({"timed auth 1 2"});
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
    for (const std::string& request : tls->plain().requests()) {
      EXPECT_THAT(request, Not(HasSubstr("GET"))) << "sent to an unverified server";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowsTlsTest, ::testing::ValuesIn(TlsCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsDllTest, ANameTheResolverNeverAnswersFailsWithinTheConnectTimeOut) {
  WriteConfig(
      "[ServerSet]\r\nServerNumber=1\r\nConnectTimeout=" + std::to_string(kTlsConnectTimeout) +
      "\r\nServerIP0=zcv-silent.example\r\nServerPort0=80\r\n");
  std::string out;
  const int status = RunWithSilentResolver(HostCommand({"timed auth 1 2"}), *root_, &out);
  if (status < 0) GTEST_SKIP() << "no mount and network namespaces here";
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
    EXPECT_THAT(Host({"auth 1 2"}), ElementsAre("9999 2024-01-01 00:00:00"));
    EXPECT_THAT(plain.requests(), ElementsAre(HasSubstr("GET /TokenAuth.asp")));
    return;
  }
  EXPECT_THAT(Host({"auth 1 2"}), ElementsAre("1012 "));
  EXPECT_THAT(Messages(Log()), ElementsAre(c.logLine));
  EXPECT_EQ(plain.connections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Entries, WindowsTlsEntryTest, ::testing::ValuesIn(EntryCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Schannel resumes by target name within the DLL's one credentials handle;
// Wine's Schannel keeps no sessions, so here each call makes a full
// handshake and only the second call's answer is checked.
TEST_F(WindowsDllTest, LaterCallsOverTlsAnswerAgain) {
  TlsServerOptions options;
  options.credential = Pki().ip;
  TlsScriptServer server(Script{Send(HttpReply(kAccepting))}, options);
  WriteConfig(TlsIni("127.0.0.1", server.port(), ""));

  EXPECT_THAT(Host({"auth 1 2", "auth 1 2"}),
              ElementsAre("9999 2024-01-01 00:00:00", "9999 2024-01-01 00:00:00"));
  EXPECT_EQ(server.handshakes(), 2);
}

}  // namespace
}  // namespace zcv::test
