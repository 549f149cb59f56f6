// What only the Windows build does: refused connections noticed at once
// through select's exception set, log line ends written as CR LF, reply
// reading that needs a COM apartment on the calling thread, the rotated
// server list written back over a file with CR LF lines, and system texts
// shaped for the text-mode log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "http/connection.h"
#include "platform/error_text.h"
#include "service/service_fixture.h"
#include "tests/config/server_list_test_util.h"
#include "tests/support/script_server.h"
#include "zephyrcoilvault.h"

// After the fixture: windows.h maps StartService to the service manager's
// StartServiceA, which is undone here.
#include <winsock2.h>
// After winsock2.h, which replaces the older sockets header.
#include <objbase.h>
#include <windows.h>
#undef StartService

namespace zcv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

// Far beyond the test's own time-out: a refusal noticed only when the
// connect time-out ends would fail the test by running too long.
constexpr int kConnectTimeoutNeverReached = 3600;

TEST(RefusedConnectionTest, FailsAtOnceWithTheRefusal) {
  HttpConnection connection;
  connection.connectTimeout = kConnectTimeoutNeverReached;
  const platform::NetStatus status = HttpConnectionOpen(&connection, "127.0.0.1", UnusedPort());
  EXPECT_EQ(status.kind(), platform::NetKind::kConnect);
  EXPECT_STREQ(status.reason(), "connection refused");
}

TEST(LastErrorTextTest, EndsWithOneLineFeedForTheTextModeLog) {
  const DWORD codes[] = {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, WSAECONNREFUSED};
  for (const DWORD code : codes) {
    ::SetLastError(code);
    const std::string text = platform::LastErrorText();
    if (text.empty()) continue;  // Wine has no text for some codes
    EXPECT_EQ(text.find('\r'), std::string::npos) << code;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << code;
  }
}

class WindowsLogTest : public testing_config::ServerListFixture {};

TEST_F(WindowsLogTest, LineFeedsReachTheFileAsCrLf) {
  log_.WriteLog("set url error\n");
  log_.WriteLog("parse xml error\n");
  const std::string bytes = testing_log::ReadAll(dir_.File("log.txt"));
  const std::string stamp = bytes.substr(0, kStampChars);
  EXPECT_EQ(bytes, stamp + " : set url error\r\n " + stamp + " : parse xml error\r\n ");
}

TEST_F(WindowsLogTest, RotatedOrderIsWrittenBackOverCrLfLines) {
  WriteConfig(
      "[ServerSet]\r\nServerNumber=2\r\nServerIP0=10.0.0.1\r\nServerPort0=80\r\n"
      "ServerIP1=10.0.0.2\r\nServerPort1=81\r\n");
  auto list = Load();
  list->RotateIfCurrent(list->Current());
  list.reset();
  EXPECT_EQ(ReadConfig(),
            "[ServerSet]\r\nServerNumber=2\r\nServerIP0=10.0.0.2\r\nServerPort0=81\r\n"
            "ServerIP1=10.0.0.1\r\nServerPort1=80\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.File("")),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind, and no log
}

std::string BindingReply() {
  return HttpReply(
      Reply("<Result>9999</Result><RowCount>1</RowCount><AppNo>11</AppNo><AppNo2>12</AppNo2>"
            "<Account>first</Account><Bindtime>2024-01-01 10:00:00</Bindtime>"));
}

// Runs `call` on a new thread that has entered the multithreaded apartment,
// where no single-threaded apartment can be entered.
template <typename Call>
void OnMultithreadedApartment(Call call) {
  std::thread thread([&] {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    call();
    ::CoUninitialize();
  });
  thread.join();
}

class ComApartmentTest : public ServiceFixture {};

TEST_F(ComApartmentTest, BindingQueryReadsItsRowsInTheApartmentItEnters) {
  ScriptServer server(Script{Send(BindingReply())});
  StartService({server.port()});
  int rowCount = 0;
  pTokenBindInfo rows[10] = {};
  EXPECT_EQ(TokenBindInfoQuery(1, 2, &rowCount, rows), kAccepted);
  EXPECT_EQ(rowCount, 1);
  EXPECT_EQ(rows[0].AppNo2, 12);
  EXPECT_STREQ(rows[0].Account, "first");
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(ComApartmentTest, BindingQueryThatCannotEnterEndsThroughTheExceptionPath) {
  ScriptServer first(Script{Send(BindingReply())});
  ScriptServer second(Script{Send(BindingReply())});
  StartService({first.port(), second.port()});
  int rowCount = -5;
  pTokenBindInfo rows[10] = {};
  OnMultithreadedApartment(
      [&] { EXPECT_EQ(TokenBindInfoQuery(1, 2, &rowCount, rows), kNoAnswer); });
  // One request, then no reader, no further server and no rotation.
  EXPECT_EQ(first.connections(), 1);
  EXPECT_EQ(second.connections(), 0);
  EXPECT_THAT(LogMessages(), ElementsAre(StartsWith("in function TokenBindInfoQuery ")));
  EXPECT_STREQ(CurrentServer().port, std::to_string(first.port()).c_str());
  EXPECT_EQ(rowCount, -5);
}

TEST_F(ComApartmentTest, ReaderThatCannotEnterFailsItsAttempt) {
  ScriptServer first(
      Script{Send(HttpReply(Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>")))});
  ScriptServer second(
      Script{Send(HttpReply(Reply("<Result>9999</Result><ExpireTime>0</ExpireTime>")))});
  StartService({first.port(), second.port()});
  char expireText[20] = "untouched";
  OnMultithreadedApartment([&] { EXPECT_EQ(TokenAuth(1, 2, expireText), kNoAnswer); });
  EXPECT_THAT(LogMessages(), ElementsAre("parse xml error\n", "parse xml error\n"));
  EXPECT_STREQ(expireText, "untouched");
  EXPECT_EQ(second.connections(), 1);
}

}  // namespace
}  // namespace zcv::test
