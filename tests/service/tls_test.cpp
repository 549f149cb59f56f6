// Calls over TLS end to end: who is trusted, what is refused and why it is
// logged, that nothing ever falls back to clear text, resumption, and the
// [TLS] entries that make the server list invalid.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "service_fixture.h"
#include "support/nginx_server.h"
#include "support/requirement.h"
#include "support/script_server.h"
#include "support/tls_script_server.h"
#include "support/tls_test_pki.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kAccepting = Reply("<Result>9999</Result><ExpireTime>1704067200</ExpireTime>");

class TlsTest : public ServiceFixture {
 protected:
  TlsTest() { std::ofstream(CaFile()) << Pki().caPem; }

  std::string CaFile() const { return dir_ + "/ca.pem"; }

  // A list of `host` at each port, reached over TLS with the test CA.
  std::string Ini(const std::string& host, const std::vector<std::uint16_t>& ports,
                  const std::string& tlsLines = "") const {
    std::ostringstream ini;
    ini << "[ServerSet]\nServerNumber=" << ports.size() << "\nConnectTimeout=1\nSendTimeout=1\n"
        << "ReceiveTimeout=1\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
      ini << "ServerIP" << i << "=" << host << "\nServerPort" << i << "=" << ports[i] << "\n";
    }
    ini << "[TLS]\nEnabled=1\nCAFile=" << CaFile() << "\n" << tlsLines;
    return ini.str();
  }

  static unsigned Auth() {
    char expireText[kExpireTextBytes] = {};
    return TokenAuth(1, 2, expireText);
  }
};

// What answers on the server's port.
enum class Peer { kTls, kPlainHttp, kGarbage, kCloseAlert, kStall };

struct ConnectionCase {
  const char* name;
  Peer peer;
  const Credential& (*credential)();
  const char* host;
  std::string tlsLines;  // added to [TLS]
  int serverMaxVersion;
  bool closeNotify;
  bool untilClose;  // the reply has no length and ends with the connection
  unsigned code;
  const char* reason;  // the logged reason when it is ours to assert; "" any
};

const Credential& IpCredential() { return Pki().ip; }
const Credential& LocalhostCredential() { return Pki().localhost; }
const Credential& ExpiredCredential() { return Pki().expired; }
const Credential& OtherNameCredential() { return Pki().otherName; }
const Credential& SelfSignedCredential() { return Pki().selfSigned; }

std::vector<ConnectionCase> ConnectionCases() {
  const std::string pins = "PinSHA256=" + Pki().otherPin + " , " + Pki().ipPin + "\n";
  return {
      {"VerifiedByAddress", Peer::kTls, IpCredential, "127.0.0.1", "", 0, true, false, kAccepted,
       nullptr},
      {"VerifiedByName", Peer::kTls, LocalhostCredential, "localhost", "", 0, true, false,
       kAccepted, nullptr},
      {"UntilCloseWithTheTlsClose", Peer::kTls, IpCredential, "127.0.0.1", "", 0, true, true,
       kAccepted, nullptr},
      {"PinMatches", Peer::kTls, IpCredential, "127.0.0.1", pins, 0, true, false, kAccepted,
       nullptr},
      {"WrongName", Peer::kTls, OtherNameCredential, "localhost", "", 0, true, false, kNoAnswer,
       ""},
      {"NameWhereAnAddressIsDue", Peer::kTls, LocalhostCredential, "127.0.0.1", "", 0, true, false,
       kNoAnswer, ""},
      {"Expired", Peer::kTls, ExpiredCredential, "127.0.0.1", "", 0, true, false, kNoAnswer,
       "certificate has expired"},
      {"UnknownIssuer", Peer::kTls, SelfSignedCredential, "127.0.0.1", "", 0, true, false,
       kNoAnswer, ""},
      {"PinMismatch", Peer::kTls, IpCredential, "127.0.0.1", "PinSHA256=" + Pki().otherPin + "\n",
       0, true, false, kNoAnswer, "server key matches no PinSHA256 entry"},
      {"OnlyTls11Offered", Peer::kTls, IpCredential, "127.0.0.1", "", TLS1_1_VERSION, true, false,
       kNoAnswer, ""},
      {"MinVersion13AgainstTls12", Peer::kTls, IpCredential, "127.0.0.1", "MinVersion=1.3\n",
       TLS1_2_VERSION, true, false, kNoAnswer, ""},
      {"UntilCloseWithoutTheTlsClose", Peer::kTls, IpCredential, "127.0.0.1", "", 0, false, true,
       kNoAnswer, "connection closed without the server's TLS close"},
      {"PlainHttpServer", Peer::kPlainHttp, IpCredential, "127.0.0.1", "", 0, true, false,
       kNoAnswer, ""},
      {"GarbageForAHandshake", Peer::kGarbage, IpCredential, "127.0.0.1", "", 0, true, false,
       kNoAnswer, ""},
      {"CloseAlertForAHandshake", Peer::kCloseAlert, IpCredential, "127.0.0.1", "", 0, true, false,
       kNoAnswer, "connection closed during the handshake"},
      {"StallingHandshake", Peer::kStall, IpCredential, "127.0.0.1", "", 0, true, false, kNoAnswer,
       "handshake timed out"},
  };
}

class TlsConnectionTest : public TlsTest, public ::testing::WithParamInterface<ConnectionCase> {};

TEST_P(TlsConnectionTest, AcceptsOnlyAVerifiedServer) {
  const ConnectionCase& c = GetParam();
  const std::string reply = c.untilClose
                                ? "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + kAccepting
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
    const Step step = c.peer == Peer::kPlainHttp ? Send(reply)
                      : c.peer == Peer::kGarbage ? Send(std::string(64, '\x7f'))
                      : c.peer == Peer::kCloseAlert
                          ? Send(std::string("\x15\x03\x03\x00\x02\x01\x00", 7))
                          : Hang();
    plain.emplace(Script{step}, HeadRead::kSkip);
  }
  const std::uint16_t port = tls ? tls->port() : plain->port();
  StartServiceWithIni(Ini(c.host, {port}, c.tlsLines));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Auth(), c.code);
  // A stall is bounded by the one-second connect time-out, not by the server.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  if (c.code == kAccepted) {
    EXPECT_THAT(LogMessages(), IsEmpty());
    return;
  }
  const std::string prefix = std::string(c.host) + "  tls error: ";
  const std::vector<std::string> log = LogMessages();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_THAT(log[0], StartsWith(prefix));
  if (*c.reason != '\0') {
    EXPECT_EQ(log[0], prefix + c.reason + "\n");
  }
  // Never a second try in clear text, nor a request sent before the check.
  if (plain) {
    EXPECT_EQ(plain->connections(), 1);
  }
  if (tls && !c.untilClose) {
    for (const std::string& request : tls->plain().requests()) {
      EXPECT_THAT(request, Not(HasSubstr("GET"))) << "sent to an unverified server";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TlsConnectionTest, ::testing::ValuesIn(ConnectionCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TlsTest, ASecondCallResumesTheSession) {
  TlsServerOptions options;
  options.credential = Pki().ip;
  TlsScriptServer server(Script{Send(HttpReply(kAccepting))}, options);
  StartServiceWithIni(Ini("127.0.0.1", {server.port()}));

  EXPECT_EQ(Auth(), kAccepted);
  EXPECT_EQ(Auth(), kAccepted);
  EXPECT_EQ(server.handshakes(), 2);
  EXPECT_EQ(server.resumed(), 1);
}

struct ResumptionCase {
  const char* name;
  int serverMaxVersion;  // 0: TLS 1.3
  bool tickets;          // false: TLS 1.2 session IDs alone
  bool closeNotify;      // false: the server ends with a bare TCP close
  bool untilClose;       // the reply ends with the connection
};

class TlsResumptionTest : public TlsTest, public ::testing::WithParamInterface<ResumptionCase> {};

// Every call after the first resumes, however the server ended the one
// before: a session lost on every other call shows up as half resumed. (A
// server that ends without its TLS close forgets its own session IDs, so
// that case is run with tickets only.)
TEST_P(TlsResumptionTest, EveryCallAfterTheFirstResumes) {
  const ResumptionCase& c = GetParam();
  TlsServerOptions options;
  options.credential = Pki().ip;
  options.maxVersion = c.serverMaxVersion;
  options.tickets = c.tickets;
  options.closeNotify = c.closeNotify;
  const std::string reply = c.untilClose
                                ? "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + kAccepting
                                : HttpReply(kAccepting);
  TlsScriptServer server(Script{Send(reply)}, options);
  StartServiceWithIni(Ini("127.0.0.1", {server.port()}));

  constexpr int kCalls = 20;
  for (int i = 0; i < kCalls; ++i) ASSERT_EQ(Auth(), kAccepted) << "call " << i;
  EXPECT_EQ(server.handshakes(), kCalls);
  EXPECT_GE(server.resumed() * 100, (kCalls - 1) * 95) << server.resumed() << " resumed";
}

INSTANTIATE_TEST_SUITE_P(
    Servers, TlsResumptionTest,
    ::testing::Values(ResumptionCase{"Tls12SessionIds", TLS1_2_VERSION, false, true, false},
                      ResumptionCase{"Tls12Tickets", TLS1_2_VERSION, true, true, false},
                      ResumptionCase{"Tls12TicketsBareClose", TLS1_2_VERSION, true, false, false},
                      ResumptionCase{"Tls12UntilClose", TLS1_2_VERSION, false, true, true},
                      ResumptionCase{"Tls13", 0, true, true, false},
                      ResumptionCase{"Tls13BareClose", 0, true, false, false},
                      ResumptionCase{"Tls13UntilClose", 0, true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct NginxCase {
  const char* name;
  const char* protocols;
  bool tickets;
};

class TlsNginxTest : public TlsTest, public ::testing::WithParamInterface<NginxCase> {};

// The same against nginx, where it is installed.
TEST_P(TlsNginxTest, EveryCallAfterTheFirstResumes) {
  const NginxCase& c = GetParam();
  NginxServer nginx({Pki().ip, c.protocols, c.tickets, kAccepting});
  if (!nginx.missing().empty()) ZCV_MISSING_TOOL(nginx.missing());
  ASSERT_TRUE(nginx.failure().empty()) << nginx.failure();
  StartServiceWithIni(Ini("127.0.0.1", {nginx.port()}));

  constexpr int kCalls = 20;
  for (int i = 0; i < kCalls; ++i) ASSERT_EQ(Auth(), kAccepted) << "call " << i;
  const int resumed = nginx.ResumedOf(kCalls);
  EXPECT_GE(resumed * 100, (kCalls - 1) * 95) << resumed << " resumed";
}

// With KeepAlive the verified connection serves every call.
TEST_P(TlsNginxTest, KeptConnectionServesEveryCall) {
  const NginxCase& c = GetParam();
  NginxServer nginx({Pki().ip, c.protocols, c.tickets, kAccepting});
  if (!nginx.missing().empty()) ZCV_MISSING_TOOL(nginx.missing());
  ASSERT_TRUE(nginx.failure().empty()) << nginx.failure();
  std::string ini = Ini("127.0.0.1", {nginx.port()});
  ini.insert(ini.find('\n') + 1, "KeepAlive=30\n");
  StartServiceWithIni(ini);

  constexpr int kCalls = 20;
  for (int i = 0; i < kCalls; ++i) ASSERT_EQ(Auth(), kAccepted) << "call " << i;
  EXPECT_EQ(nginx.ConnectionsOf(kCalls), 1);
  EXPECT_EQ(nginx.ResumedOf(kCalls), 0);  // one handshake, never resumed
}

INSTANTIATE_TEST_SUITE_P(Nginx, TlsNginxTest,
                         ::testing::Values(NginxCase{"Tls12SessionIds", "TLSv1.2", false},
                                           NginxCase{"Tls12Tickets", "TLSv1.2", true},
                                           NginxCase{"Tls13", "TLSv1.3", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A reply cut off without the server's TLS close is refused, and the
// session it ran in is not offered again.
TEST_F(TlsTest, ATruncatedReplyEndsTheSession) {
  ScriptServer inner([](const std::string& request) {
    if (request.find("iCardNo=2&") == std::string::npos) return Script{Send(HttpReply(kAccepting))};
    return Script{Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + kAccepting)};
  });
  TlsServerOptions options;
  options.credential = Pki().ip;
  options.maxVersion = TLS1_2_VERSION;
  options.closeNotify = false;
  TlsScriptServer server(inner.port(), options);
  StartServiceWithIni(Ini("127.0.0.1", {server.port()}));

  char expireText[kExpireTextBytes] = {};
  EXPECT_EQ(TokenAuth(1, 1, expireText), kAccepted);
  EXPECT_EQ(TokenAuth(2, 1, expireText), kNoAnswer);
  EXPECT_EQ(TokenAuth(1, 1, expireText), kAccepted);
  EXPECT_EQ(server.handshakes(), 3);
  EXPECT_EQ(server.resumed(), 1);
  EXPECT_EQ(server.offered(), 1);
}

TEST_F(TlsTest, ASessionIsOfferedOnlyToTheServerItCameFrom) {
  TlsServerOptions options;
  options.credential = Pki().ip;
  TlsScriptServer first(Script{Send(HttpReply(kAccepting))}, options);
  TlsScriptServer second(Script{Send(HttpReply(kAccepting))}, options);
  StartServiceWithIni(Ini("127.0.0.1", {first.port(), second.port()}));

  EXPECT_EQ(Auth(), kAccepted);
  first.Stop();
  EXPECT_EQ(Auth(), kAccepted);  // refused by the first, answered by the second
  EXPECT_EQ(Auth(), kAccepted);
  EXPECT_EQ(second.handshakes(), 2);
  EXPECT_EQ(second.offered(), 1);
  EXPECT_EQ(second.resumed(), 1);
}

TEST_F(TlsTest, ARefusedServerIsRotatedAndTheWriteBackKeepsTheSection) {
  TlsServerOptions wrong;
  wrong.credential = Pki().otherName;
  TlsScriptServer refused(Script{Send(HttpReply(kAccepting))}, wrong);
  TlsServerOptions right;
  right.credential = Pki().ip;
  TlsScriptServer answering(Script{Send(HttpReply(kAccepting))}, right);
  const std::string tlsLines = "; trust the test CA only\nMinVersion=1.2\n";
  StartServiceWithIni(Ini("127.0.0.1", {refused.port(), answering.port()}, tlsLines));

  EXPECT_EQ(Auth(), kAccepted);
  EXPECT_EQ(LogMessages().size(), 1u);
  EXPECT_STREQ(CurrentServer().port, std::to_string(answering.port()).c_str());
  StopService();

  std::ifstream in(dir_ + "/cfgfile.ini");
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_THAT(text.str(), HasSubstr("ServerPort0=" + std::to_string(answering.port()) + "\n"));
  EXPECT_THAT(text.str(), HasSubstr("[TLS]\nEnabled=1\nCAFile=" + CaFile() + "\n" + tlsLines));
}

// A folder holding the test CA under its subject hash, as SSL_CERT_DIR wants.
std::string HashedCaDir(const std::string& dir, const std::string& caFile) {
  const std::string hashed = dir + "/hashed";
  mkdir(hashed.c_str(), 0700);
  BIO* in = BIO_new_file(caFile.c_str(), "r");
  X509* ca = in != nullptr ? PEM_read_bio_X509(in, nullptr, nullptr, nullptr) : nullptr;
  char name[16];
  std::snprintf(name, sizeof name, "/%08lx.0", ca != nullptr ? X509_subject_name_hash(ca) : 0ul);
  X509_free(ca);
  BIO_free(in);
  std::ofstream(hashed + name) << Pki().caPem;
  return hashed;
}

TEST_F(TlsTest, TheHostsEnvironmentAddsNoTrust) {
  TlsServerOptions options;
  options.credential = Pki().ip;
  const std::vector<std::pair<const char*, std::string>> environments = {
      {"SSL_CERT_FILE", CaFile()}, {"SSL_CERT_DIR", HashedCaDir(dir_, CaFile())}};
  for (const auto& [name, value] : environments) {
    SCOPED_TRACE(name);
    setenv(name, value.c_str(), 1);
    TlsScriptServer server(Script{Send(HttpReply(kAccepting))}, options);
    // No CAFile: the distribution's bundle alone, which never holds the test CA.
    StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
                        std::to_string(server.port()) + "\n[TLS]\nEnabled=1\n");
    EXPECT_EQ(Auth(), kNoAnswer);
    EXPECT_THAT(LogMessages(),
                ElementsAre("127.0.0.1  tls error: unable to get local issuer certificate\n"));
    for (const std::string& request : server.plain().requests()) {
      EXPECT_THAT(request, Not(HasSubstr("GET")));
    }
    StopService();
    unsetenv(name);
    std::remove((dir_ + "/logfile.txt").c_str());
  }
}

struct EntryCase {
  const char* name;
  std::string tlsSection;  // "<dir>" stands for the test directory
  const char* logLine;     // nullptr: valid, plain HTTP as without the section
};

std::vector<EntryCase> EntryCases() {
  const std::string pin = Pki().ipPin;
  const std::string enabled = "Enabled=1\nCAFile=<dir>/ca.pem\n";
  constexpr const char* kBadPin = "[TLS] PinSHA256: malformed pin (base64 of a SHA-256 hash)\n";
  constexpr const char* kBadCa = "[TLS] CAFile: cannot be read\n";
  return {
      {"DisabledKeepsPlainHttp", "Enabled=0\nMinVersion=1.3\nPinSHA256=" + pin + "\n", nullptr},
      {"EnabledUnknown", "Enabled=yes\n", "[TLS] Enabled: unknown value (0 or 1)\n"},
      {"MinVersionTooOld", enabled + "MinVersion=1.1\n",
       "[TLS] MinVersion: unknown value (1.2 or 1.3)\n"},
      {"PinNotBase64", enabled + "PinSHA256=not a pin\n", kBadPin},
      {"PinListWithAnEmptyEntry", enabled + "PinSHA256=" + pin + ",," + pin + "\n", kBadPin},
      {"PinOf31Bytes", enabled + "PinSHA256=" + pin.substr(0, 42) + "==\n", kBadPin},
      {"PinWithStrayBits", enabled + "PinSHA256=" + pin.substr(0, 42) + "/=\n", kBadPin},
      {"CAFileMissing", "Enabled=1\nCAFile=<dir>/missing.pem\n", kBadCa},
      {"CAFileWithoutCertificates", "Enabled=1\nCAFile=<dir>/cfgfile.ini\n", kBadCa},
      // Whatever directory the host works in names no trust anchor.
      {"CAFileRelative", "Enabled=0\nCAFile=token-ca.pem\n",
       "[TLS] CAFile: a relative path (give the full path)\n"},
      {"CAFileDevice", "Enabled=1\nCAFile=/dev/zero\n", "[TLS] CAFile: not a regular file\n"},
      {"CAFileFolder", "Enabled=1\nCAFile=<dir>\n", "[TLS] CAFile: not a regular file\n"},
  };
}

class TlsEntryTest : public TlsTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(TlsEntryTest, AnInvalidEntryMakesTheListInvalid) {
  const EntryCase& c = GetParam();
  ScriptServer plain(Script{Send(HttpReply(kAccepting))});
  std::string section = c.tlsSection;
  for (std::size_t at; (at = section.find("<dir>")) != std::string::npos;) {
    section.replace(at, 5, dir_);
  }
  StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
                      std::to_string(plain.port()) + "\n[TLS]\n" + section);

  if (c.logLine == nullptr) {
    EXPECT_EQ(Auth(), kAccepted);
    EXPECT_THAT(plain.requests(), ElementsAre(HasSubstr("GET /TokenAuth.asp")));
    return;
  }
  EXPECT_EQ(Auth(), kNoAnswer);
  EXPECT_THAT(LogMessages(), ElementsAre(c.logLine));
  EXPECT_EQ(plain.connections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Entries, TlsEntryTest, ::testing::ValuesIn(EntryCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zcv::test
