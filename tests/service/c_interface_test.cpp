// The C interface: clients on their own files go to their own servers, a
// faulty file gives no client and a reason, short outputs and a null
// client are refused before anything is sent, and the host's log function
// receives every entry.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/script_server.h"
#include "zephyrcoilvault/client.h"
#include "zephyrcoilvault_version.h"

namespace zcv::test {
namespace {

const std::string kAcceptAll = HttpReply(
    "<Reply><Result>9999</Result><ExpireTime>0</ExpireTime><ResvPassWord>654321</ResvPassWord>"
    "<RowCount>0</RowCount><CardStatus>2</CardStatus></Reply>");

class CInterfaceTest : public ::testing::Test {
 protected:
  CInterfaceTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zcv-c-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
  }
  ~CInterfaceTest() override {
    for (zcv_client* client : opened_) zcv_client_close(client);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::string OneServer(std::uint16_t port) {
    return "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" + std::to_string(port) +
           "\nConnectTimeout=1\nSendTimeout=1\nReceiveTimeout=1\n";
  }
  zcv_client* Open(const std::string& config, const char* log = nullptr) {
    char error[ZCV_ERROR_BYTES];
    zcv_client* client = zcv_client_open(config.c_str(), log, 0, error, sizeof error);
    EXPECT_NE(client, nullptr) << error;
    if (client != nullptr) opened_.push_back(client);
    return client;
  }

  std::string dir_;
  std::vector<zcv_client*> opened_;
};

TEST_F(CInterfaceTest, EachClientGoesToItsOwnServer) {
  ScriptServer first(Script{Send(kAcceptAll)});
  ScriptServer second(Script{Send(kAcceptAll)});
  zcv_client* a = Open(WriteFile("a.ini", OneServer(first.port())));
  zcv_client* b = Open(WriteFile("b.ini", OneServer(second.port())));
  ASSERT_TRUE(a && b);
  char expire[ZCV_EXPIRE_TEXT_BYTES];
  EXPECT_EQ(zcv_auth(a, 11, 1, expire, sizeof expire), ZCV_ACCEPTED);
  EXPECT_EQ(zcv_auth(b, 22, 2, expire, sizeof expire), ZCV_ACCEPTED);
  EXPECT_EQ(zcv_auth(b, 22, 3, expire, sizeof expire), ZCV_ACCEPTED);
  EXPECT_EQ(first.paths(), std::vector<std::string>{"/TokenAuth.asp?iCardNo=11&iDynpasswd=1"});
  EXPECT_EQ(second.connections(), 2);
}

TEST_F(CInterfaceTest, FaultyFileGivesNoClientAndTheReason) {
  struct Case {
    const char* name;
    const char* text;  // null: no file at all
    const char* reason;
  } cases[] = {
      {"missing file", nullptr, "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3"},
      {"no ServerNumber", "[ServerSet]\nServerIP0=127.0.0.1\n",
       "\xb6\xc1ServerNumber\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3"},
      {"no server", "[ServerSet]\nServerNumber=0\n", "ServerNumber"},
      {"bad time-out", "[ServerSet]\nServerNumber=1\nServerIP0=a\nServerPort0=1\nSendTimeout=0\n",
       "SendTimeout"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.text ? WriteFile("bad.ini", c.text) : dir_ + "/none.ini";
    const std::string log = dir_ + "/log.txt";
    char error[ZCV_ERROR_BYTES] = "untouched";
    EXPECT_EQ(zcv_client_open(path.c_str(), log.c_str(), 0, error, sizeof error), nullptr);
    EXPECT_NE(std::string(error).find(c.reason), std::string::npos) << error;
    // The log got the same reason.
    std::ifstream in(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(logged.find(c.reason), std::string::npos);
    std::filesystem::remove(log);
  }
  char tiny[4];
  EXPECT_EQ(zcv_client_open(nullptr, nullptr, 0, tiny, sizeof tiny), nullptr);
  EXPECT_EQ(std::strlen(tiny), 3u);  // cut to fit, with its NUL
}

TEST_F(CInterfaceTest, ShortOutputsAndNullClientSendNothing) {
  ScriptServer server(Script{Send(kAcceptAll)});
  zcv_client* c = Open(WriteFile("c.ini", OneServer(server.port())));
  ASSERT_NE(c, nullptr);
  char expire[ZCV_EXPIRE_TEXT_BYTES];
  char resv[ZCV_RESV_PASSWORD_BYTES];
  zcv_bind_info rows[ZCV_MAX_BIND_ROWS];
  int count = 0;
  int status = 0;
  const std::vector<std::function<unsigned(zcv_client*)>> calls = {
      [&](zcv_client* k) { return zcv_auth(k, 1, 2, expire, sizeof expire - 1); },
      [&](zcv_client* k) { return zcv_auth2_next(k, 1, 2, 3, nullptr, sizeof expire); },
      [&](zcv_client* k) { return zcv_binding(k, 1, 2, 3, 4, "a", resv, sizeof resv - 1); },
      [&](zcv_client* k) { return zcv_bind_other(k, 1, 2, resv, 0); },
      [&](zcv_client* k) {
        return zcv_enable(k, "s", 1, 0, 1, 0, 0, 0, 0, 0, 0, expire, sizeof expire - 1);
      },
      [&](zcv_client* k) {
        return zcv_bind_info_query(k, 1, 2, &count, rows, ZCV_MAX_BIND_ROWS - 1);
      },
      [&](zcv_client* k) { return zcv_status(k, 1, &status, expire, sizeof expire - 1); },
      [&](zcv_client* k) { return zcv_status(k, 1, nullptr, expire, sizeof expire); },
  };
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i](c), ZCV_ARGUMENT_REFUSED);
  }
  EXPECT_EQ(zcv_auth(nullptr, 1, 2, expire, sizeof expire), ZCV_ARGUMENT_REFUSED);
  EXPECT_EQ(zcv_unloss(nullptr, 1, "s", 2, "o"), ZCV_ARGUMENT_REFUSED);
  EXPECT_EQ(server.connections(), 0);
  // Exactly the sizes the operations may write are enough.
  EXPECT_EQ(zcv_status(c, 1, &status, expire, sizeof expire), ZCV_ACCEPTED);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(zcv_bind_info_query(c, 1, 2, &count, rows, ZCV_MAX_BIND_ROWS), ZCV_ACCEPTED);
}

TEST_F(CInterfaceTest, HostLogFunctionGetsEveryEntryAndNoFileIsWritten) {
  zcv_client* c = Open(WriteFile("d.ini", OneServer(UnusedPort())));
  ASSERT_NE(c, nullptr);
  std::vector<std::string> received;
  zcv_client_set_log(
      c,
      [](void* ctx, const char* m) { static_cast<std::vector<std::string>*>(ctx)->push_back(m); },
      &received);
  char expire[ZCV_EXPIRE_TEXT_BYTES];
  EXPECT_EQ(zcv_auth(c, 1, 2, expire, sizeof expire), ZCV_NO_ANSWER);
  EXPECT_EQ(received, std::vector<std::string>{"127.0.0.1  connect error: connection refused\n"});
  zcv_client_set_log(c, nullptr, nullptr);
  EXPECT_EQ(zcv_auth(c, 1, 2, expire, sizeof expire), ZCV_NO_ANSWER);
  EXPECT_EQ(received.size(), 1u);
  EXPECT_EQ(std::filesystem::directory_iterator(dir_)->path().filename(), "d.ini");
}

TEST(CInterfaceTextTest, VersionAndResultTexts) {
  EXPECT_EQ(std::string(zcv_version()), std::to_string(ZCV_VERSION_MAJOR) + "." +
                                            std::to_string(ZCV_VERSION_MINOR) + "." +
                                            std::to_string(ZCV_VERSION_PATCH));
  for (unsigned code : {ZCV_ACCEPTED, ZCV_ARGUMENT_REFUSED, ZCV_NO_ANSWER, 1u}) {
    EXPECT_GT(std::strlen(zcv_result_text(code)), 0u);
  }
  EXPECT_STRNE(zcv_result_text(ZCV_ACCEPTED), zcv_result_text(1));
}

}  // namespace
}  // namespace zcv::test
