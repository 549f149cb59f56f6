// The call frame end to end: failover and rotation, the failure gate, the
// attempt's log lines, the exception path, result codes and outputs.
#include "service/call_frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "service_fixture.h"
#include "support/script_server.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kConnectError = "127.0.0.1  connect error: connection refused\n";
const std::string kClosedError =
    "127.0.0.1  connect error: connection closed before the reply head ended\n";

std::string Accepting(int expire = 1704067200) {
  return HttpReply(
      Reply("<Result>9999</Result><ExpireTime>" + std::to_string(expire) + "</ExpireTime>"));
}

class CallFrameTest : public ServiceFixture {};

TEST_F(CallFrameTest, FailsOverToTheAnsweringServerAndKeepsItFirst) {
  ScopedTimeZone zone("Asia/Shanghai");
  ScriptServer answering(Script{Send(Accepting())});
  StartService({UnusedPort(), UnusedPort(), answering.port()});

  char expireText[20] = {};
  EXPECT_EQ(TokenAuth(123, 456789, expireText), kAccepted);
  EXPECT_STREQ(expireText, "2024-01-01 08:00:00");
  EXPECT_THAT(LogMessages(), ElementsAre(kConnectError, kConnectError));
  EXPECT_STREQ(CurrentServer().port, std::to_string(answering.port()).c_str());
  EXPECT_THAT(answering.paths(), ElementsAre("/TokenAuth.asp?iCardNo=123&iDynpasswd=456789"));

  // The next call reaches the answering server with its first attempt.
  EXPECT_EQ(TokenAuth2(1, 2, expireText), kAccepted);
  EXPECT_EQ(LogMessages().size(), 2u);
  EXPECT_EQ(answering.connections(), 2);
}

TEST_F(CallFrameTest, WhenEveryServerFailsTheListComesBackToItsOrder) {
  ScriptServer closing(Script{Close()});
  const std::uint16_t first = UnusedPort();
  StartService({first, closing.port()});

  char expireText[20] = "untouched";
  EXPECT_EQ(TokenAuth(1, 2, expireText), kNoAnswer);
  EXPECT_STREQ(expireText, "untouched");
  EXPECT_EQ(closing.connections(), 1);
  EXPECT_STREQ(CurrentServer().port, std::to_string(first).c_str());
  EXPECT_THAT(LogMessages(), ElementsAre(kConnectError, kClosedError));
}

TEST_F(CallFrameTest, EmptyListSendsNothingButCountsForTheGate) {
  StartServiceWithIni("[ServerSet]\nServerNumber=0\n");
  char expireText[20] = {};
  EXPECT_EQ(TokenAuth(1, 2, expireText), kNoAnswer);
  EXPECT_EQ(gate().failures(), 1);
  int rows = 7;
  pTokenBindInfo info[10] = {};
  EXPECT_EQ(TokenBindInfoQuery(1, 2, &rows, info), kNoAnswer);
  EXPECT_EQ(rows, 7);
  EXPECT_EQ(LogMessages().size(), 1u);  // at load: ServerNumber gives no server
}

TEST_F(CallFrameTest, InvalidListAnswers1012BeforeCheckingArguments) {
  StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\n");
  const std::string configLog = LogText();
  EXPECT_EQ(TokenAuth(1, 2, nullptr), kNoAnswer);
  EXPECT_EQ(TokenBinding(1, 2, 3, 4, nullptr, nullptr), kNoAnswer);
  EXPECT_EQ(gate().failures(), 0);
  EXPECT_EQ(LogText(), configLog);
}

TEST_F(CallFrameTest, RefusedArgumentSendsNothingAndLeavesTheGateAlone) {
  ScriptServer server(Script{Send(Accepting())});
  StartService({server.port()});
  EXPECT_EQ(TokenAuth(1, 2, nullptr), kArgumentRefused);
  EXPECT_EQ(TokenAuth2Next(1, 2, 3, nullptr), kArgumentRefused);
  EXPECT_EQ(server.connections(), 0);
  EXPECT_EQ(gate().failures(), 0);
  EXPECT_EQ(LogText(), "");
}

TEST_F(CallFrameTest, VerdictOtherThanAcceptedLeavesTheExpiryUntouched) {
  ScriptServer server(
      Script{Send(HttpReply(Reply("<Result>17</Result><ExpireTime>5</ExpireTime>")))});
  StartService({server.port()});
  char expireText[20] = "caller's";
  EXPECT_EQ(TokenAuth(1, 2, expireText), 17u);
  EXPECT_STREQ(expireText, "caller's");
}

// The body must be 1 to 2,048 bytes; padding keeps the document readable.
std::string BodyOfLength(std::size_t length) {
  std::string body = Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>");
  if (length < body.size()) return std::string(length, 'x');
  return body + std::string(length - body.size(), ' ');
}

TEST_F(CallFrameTest, BodyLengthBounds) {
  struct Case {
    std::size_t length;
    ResultCode code;
    std::vector<std::string> log;
  } cases[] = {
      {2048, kAccepted, {}},
      {2049, kNoAnswer, {"get body len error \n"}},
      {0, kNoAnswer, {"get body len error \n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    ScriptServer server(Script{Send(HttpReply(BodyOfLength(c.length)))});
    StartService({server.port()});
    std::remove((dir_ + "/logfile.txt").c_str());
    char expireText[20] = {};
    EXPECT_EQ(TokenAuth(1, 2, expireText), c.code);
    EXPECT_EQ(LogMessages(), c.log);
  }
}

TEST_F(CallFrameTest, UnreadableErrorPageFailsOverToTheNextServer) {
  ScriptServer broken(Script{Send(HttpReply("<html>Not Found</html", 404))});
  ScriptServer good(Script{Send(Accepting())});
  StartService({broken.port(), good.port()});
  char expireText[20] = {};
  EXPECT_EQ(TokenAuth(1, 2, expireText), kAccepted);
  EXPECT_THAT(LogMessages(), ElementsAre("parse xml error\n"));
}

// A port the client would refuse never gets that far: the load refuses it.
TEST_F(CallFrameTest, MalformedPortIsRefusedAtLoad) {
  StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=8x\n");
  char expireText[20] = {};
  EXPECT_EQ(TokenAuth(1, 2, expireText), kNoAnswer);
  EXPECT_THAT(LogMessages(), ElementsAre(HasSubstr("ServerPort0")));
}

// ---- The failure gate -----------------------------------------------------

class FailureGateTest : public ServiceFixture {
 protected:
  ResultCode Auth() {
    char expireText[20] = {};
    return TokenAuth(1, 2, expireText);
  }
};

TEST_F(FailureGateTest, RefusesAfterThreeFailuresUntilTheWindowHasPassed) {
  ScriptServer closing(Script{Close()});
  StartService({closing.port()});

  EXPECT_EQ(Auth(), kNoAnswer);  // failures 1
  fakeNow += 10;
  const std::time_t tripTime = fakeNow;
  EXPECT_EQ(Auth(), kNoAnswer);  // failures 2, window armed at this time
  fakeNow += 100;
  EXPECT_EQ(Auth(), kNoAnswer);  // still sent: failures 3
  EXPECT_EQ(closing.connections(), 3);
  const std::size_t logged = LogMessages().size();

  fakeNow = tripTime + 149;
  EXPECT_EQ(Auth(), kNoAnswer);
  EXPECT_EQ(closing.connections(), 3);
  EXPECT_EQ(LogMessages().size(), logged);

  // A clock set back keeps refusing too.
  fakeNow = tripTime - 1000;
  EXPECT_EQ(Auth(), kNoAnswer);
  EXPECT_EQ(closing.connections(), 3);

  // After the window one call is admitted; running out again does not
  // start a new window, so the next call is admitted as well.
  fakeNow = tripTime + 150;
  EXPECT_EQ(Auth(), kNoAnswer);
  EXPECT_EQ(closing.connections(), 4);
  EXPECT_EQ(Auth(), kNoAnswer);
  EXPECT_EQ(closing.connections(), 5);
  EXPECT_EQ(gate().failures(), 5);
  EXPECT_FALSE(gate().busy());
  // One line when the gate closed, one when it admitted again; the
  // refusals between them, and the later admissions, are silent.
  std::vector<std::string> gateLines;
  for (const std::string& message : LogMessages()) {
    if (message.find("authentication") == 0) gateLines.push_back(message);
  }
  EXPECT_THAT(gateLines,
              ElementsAre("authentication refused for 150 s after 3 calls without a server\n",
                          "authentication admitted again after the failure gate's wait\n"));
}

TEST_F(FailureGateTest, AnyReadableReplyOpensTheGate) {
  bool answer = false;
  std::mutex m;
  ScriptServer server([&](const std::string&) {
    std::lock_guard<std::mutex> lock(m);
    return answer ? Script{Send(HttpReply(Reply("<Result>3</Result>")))} : Script{Close()};
  });
  StartService({server.port()});
  for (int i = 0; i < 3; ++i) Auth();
  fakeNow += kGateWindowSeconds;
  {
    std::lock_guard<std::mutex> lock(m);
    answer = true;
  }
  EXPECT_EQ(Auth(), 3u);
  EXPECT_EQ(gate().failures(), 0);
  EXPECT_FALSE(gate().busy());
}

TEST_F(FailureGateTest, AdmitsOneCallAtATimeAfterTheWindow) {
  std::mutex m;
  std::condition_variable released;
  bool release = false;
  bool answer = false;
  ScriptServer server([&](const std::string&) {
    std::unique_lock<std::mutex> lock(m);
    if (!answer) return Script{Close()};
    released.wait_for(lock, std::chrono::seconds(5), [&] { return release; });
    return Script{Send(Accepting())};
  });
  timeouts_.receive = 10;  // the admitted call waits while the test acts
  StartService({server.port()});
  for (int i = 0; i < 3; ++i) Auth();
  fakeNow += kGateWindowSeconds;
  {
    std::lock_guard<std::mutex> lock(m);
    answer = true;
  }

  ResultCode admitted = 0;
  std::thread first([&] { admitted = Auth(); });
  ASSERT_TRUE(server.WaitForConnections(4, std::chrono::seconds(5)));
  EXPECT_TRUE(gate().busy());
  EXPECT_EQ(Auth(), kNoAnswer);  // refused while the admitted call runs
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  released.notify_all();
  first.join();
  EXPECT_EQ(admitted, kAccepted);
  EXPECT_EQ(server.connections(), 4);
  EXPECT_EQ(Auth(), kAccepted);  // open again
}

// ---- The exception path ---------------------------------------------------

TEST_F(CallFrameTest, ExceptionIsLoggedWithTheSystemTextAndReleasesTheGate) {
  ScriptServer server(Script{Close()});
  StartService({server.port()});
  for (int i = 0; i < 3; ++i) {
    char expireText[20];
    TokenAuth(1, 2, expireText);
  }
  fakeNow += kGateWindowSeconds;
  std::remove((dir_ + "/logfile.txt").c_str());

  const Operation throwing{"Throwing.asp", "in function Throwing  %s", kShortPathBytes, true};
  const ResultCode code =
      RunCall(&client(), throwing, {}, ResultOnly(), [](char*, std::size_t) -> bool {
        errno = ENOENT;
        throw std::runtime_error("boom");
      });
  EXPECT_EQ(code, kNoAnswer);
  const std::vector<std::string> log = LogMessages();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind("in function Throwing  ", 0), 0u);
  EXPECT_GT(log[0].size(), std::strlen("in function Throwing  \n"));
  EXPECT_EQ(log[0].back(), '\n');
  EXPECT_FALSE(gate().busy());
  EXPECT_EQ(gate().failures(), 3);
}

// ---- Operator time-outs ---------------------------------------------------

// "读<key>参数配置文件错误，须为1至600的整数秒\n" as GBK bytes.
std::string InvalidTimeoutMessage(const std::string& key) {
  return "\xb6\xc1" + key +
         "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xd0\xeb\xce\xaa"
         "1\xd6\xc1"
         "600\xb5\xc4\xd5\xfb\xca\xfd\xc3\xeb\n";
}

TEST_F(CallFrameTest, TimeoutKeysAreWholeSecondsFromOneTo600) {
  struct Case {
    const char* line;
    const char* invalidKey;  // null: the value is accepted
  } cases[] = {
      {"ConnectTimeout=0", "ConnectTimeout"}, {"SendTimeout=601", "SendTimeout"},
      {"ReceiveTimeout=", "ReceiveTimeout"},  {"CallTimeout=ten", "CallTimeout"},
      {"CallTimeout=-5", "CallTimeout"},      {"ConnectTimeout=1.5", "ConnectTimeout"},
      {"SendTimeout=+3", "SendTimeout"},      {"ReceiveTimeout=99999999999", "ReceiveTimeout"},
      {"ConnectTimeout = 600", nullptr},      {"CallTimeout=\"007\"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ScriptServer server(Script{Send(HttpReply(
        Reply("<Result>9999</Result><ExpireTime>0</ExpireTime><CardStatus>1</CardStatus>")))});
    StopService();
    std::remove((dir_ + "/logfile.txt").c_str());
    StartServiceWithIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
                        std::to_string(server.port()) + "\n" + c.line + "\n");
    char expireText[20] = {};
    int status = 0;
    const ResultCode expected = c.invalidKey ? kNoAnswer : kAccepted;
    EXPECT_EQ(TokenAuth(1, 2, expireText), expected);
    EXPECT_EQ(TokenStatus(1, status, expireText), expected);
    if (c.invalidKey) {
      EXPECT_THAT(LogMessages(), ElementsAre(InvalidTimeoutMessage(c.invalidKey)));
      EXPECT_EQ(server.connections(), 0);
    } else {
      EXPECT_THAT(LogMessages(), IsEmpty());
    }
  }
}

std::atomic<std::int64_t> fakeMonotonicMs{0};
std::int64_t FakeMonotonic() { return fakeMonotonicMs.load(); }

TEST_F(CallFrameTest, CallTimeoutStopsTheFailoverAndCountsForTheGate) {
  // Each stalling server lets a second of the call's time pass.
  auto stalling = [](const std::string&) {
    fakeMonotonicMs += 1000;
    return Script{Hang()};
  };
  ScriptServer first(stalling), second(stalling), third(stalling);
  timeouts_.call = 2;
  monotonicClock_ = FakeMonotonic;
  StartService({first.port(), second.port(), third.port()});

  char expireText[20] = "untouched";
  EXPECT_EQ(TokenAuth(1, 2, expireText), kNoAnswer);
  EXPECT_STREQ(expireText, "untouched");
  EXPECT_EQ(first.connections() + second.connections(), 2);
  EXPECT_EQ(third.connections(), 0);  // the call's time had run out
  EXPECT_EQ(gate().failures(), 1);
}

TEST_F(CallFrameTest, CallTimeoutCutsTheAttemptUnderWay) {
  ScriptServer first(Script{Hang()}), second(Script{Hang()}), third(Script{Hang()});
  timeouts_.receive = 15;  // without the call's limit, 45 s over the three
  timeouts_.call = 2;
  StartService({first.port(), second.port(), third.port()});

  const auto start = std::chrono::steady_clock::now();
  char expireText[20] = {};
  EXPECT_EQ(TokenAuth(1, 2, expireText), kNoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
  EXPECT_EQ(first.connections(), 1);
  EXPECT_EQ(second.connections() + third.connections(), 0);
  EXPECT_THAT(LogMessages(), ElementsAre("127.0.0.1  connect error: no reply within 2 s\n"));
  EXPECT_EQ(gate().failures(), 1);
}

// The path formatter against snprintf, whole buffers compared so that a
// byte written past the cut shows too.
TEST(FormatTemplateTest, WritesWhatSnprintfWrites) {
  struct Row {
    const char* pathTemplate;
    int first;
    const char* text;
    int last;
    std::size_t size;
  };
  const Row rows[] = {
      {"a.asp?i=%d&s=%s&j=%d", 0, "x", -7, 64},
      {"a.asp?i=%d&s=%s&j=%d", INT_MIN, "", INT_MAX, 64},
      {"%d%s%d", -1, nullptr, 1234567890, 64},
      {"%s%d%d100%%", 42, "text", 9, 64},
      {"a.asp?i=%d&s=%s&j=%d", 123456, "abcdef", -5, 12},  // cut inside the text
      {"a.asp?i=%d&s=%s&j=%d", 123456, "abc", -5, 9},      // cut inside a number
      {"a.asp?i=%d&s=%s&j=%d", 12, "abc", -5, 22},         // fits exactly with its NUL
      {"a.asp?i=%d&s=%s&j=%d", 12, "abc", -5, 21},         // only the NUL is missing
      {"a.asp?i=%d&s=%s&j=%d", 1, "b", 2, 1},
      {"a.asp?i=%d&s=%s&j=%d", 1, "b", 2, 0},
  };
  constexpr std::size_t kBufferBytes = 64;
  for (const Row& row : rows) {
    char expected[kBufferBytes];
    char actual[kBufferBytes];
    std::memset(expected, '#', sizeof expected);
    std::memset(actual, '#', sizeof actual);
    const char* shown = row.text ? row.text : "(null)";
    int length;
    bool whole;
    if (row.pathTemplate[1] == 's') {
      length = std::snprintf(expected, row.size, row.pathTemplate, shown, row.first, row.last);
      whole = FormatTemplate(actual, row.size, row.pathTemplate, {row.text, row.first, row.last});
    } else {
      length = std::snprintf(expected, row.size, row.pathTemplate, row.first, shown, row.last);
      whole = FormatTemplate(actual, row.size, row.pathTemplate, {row.first, row.text, row.last});
    }
    EXPECT_EQ(std::string(actual, sizeof actual), std::string(expected, sizeof expected))
        << row.pathTemplate << " size " << row.size;
    EXPECT_EQ(whole, static_cast<std::size_t>(length) < row.size)
        << row.pathTemplate << " size " << row.size;
  }
}

}  // namespace
}  // namespace zcv::test
