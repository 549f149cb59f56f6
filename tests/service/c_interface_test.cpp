// The C interface: clients on their own files go to their own servers, a
// faulty file gives no client and a reason, short outputs and a null
// client are refused before anything is sent, and the host's log function
// receives every entry.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// Opening never waits and never reads without bound: only a regular file
// of at most 1 MiB is read.
TEST_F(CInterfaceTest, OnlyABoundedRegularFileIsRead) {
  const std::string fifo = dir_ + "/fifo.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = WriteFile("big.ini", "[ServerSet]\n;" + std::string(1 << 20, 'x'));
  // "读配置文件错误，不是普通文件" and "……，大于1048576字节"
  const std::string notRegular =
      "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xb2\xbb\xca\xc7\xc6\xd5"
      "\xcd\xa8\xce\xc4\xbc\xfe";
  const std::string tooLarge =
      "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xb4\xf3\xd3\xda"
      "1048576\xd7\xd6\xbd\xda";
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {{fifo, notRegular}, {"/dev/zero", notRegular}, {dir_, notRegular}, {big, tooLarge}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    char error[ZCV_ERROR_BYTES] = "untouched";
    EXPECT_EQ(zcv_client_open(c.path.c_str(), nullptr, 0, error, sizeof error), nullptr);
    EXPECT_EQ(std::string(error), c.reason);
  }
}

TEST_F(CInterfaceTest, OptionsThatCannotBeHonouredAreRefused) {
  const std::string path = WriteFile("o.ini", OneServer(UnusedPort()));
  const std::string text = OneServer(UnusedPort());
  const std::string huge(ZCV_ERROR_BYTES * 4097, ';');
  struct Case {
    const char* name;
    std::function<void(zcv_options&)> set;
    const char* reason;
  } cases[] = {
      {"size of no version", [](zcv_options& o) { o.size = sizeof o - 1; }, "size smaller"},
      {"neither path nor data", [](zcv_options& o) { o.config_path = nullptr; }, "exactly one"},
      {"both path and data",
       [&](zcv_options& o) {
         o.config_data = text.data();
         o.config_size = text.size();
       },
       "exactly one"},
      {"data over 1 MiB",
       [&](zcv_options& o) {
         o.config_path = nullptr;
         o.config_data = huge.data();
         o.config_size = huge.size();
       },
       "larger than 1048576"},
      {"size without data", [](zcv_options& o) { o.ca_size = 3; }, "ca_size without ca_data"},
      {"time-out above 600", [](zcv_options& o) { o.receive_timeout_s = 601; },
       "receive_timeout_s"},
      {"unknown flag", [](zcv_options& o) { o.flags = 1u << 30; }, "unknown flags"},
      {"write-back of bytes",
       [&](zcv_options& o) {
         o.config_path = nullptr;
         o.config_data = text.data();
         o.config_size = text.size();
         o.flags = ZCV_WRITE_BACK;
       },
       "ZCV_WRITE_BACK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zcv_options options = ZCV_OPTIONS_INIT;
    options.config_path = path.c_str();
    c.set(options);
    char error[ZCV_ERROR_BYTES] = "untouched";
    EXPECT_EQ(zcv_client_open_options(&options, error, sizeof error), nullptr);
    EXPECT_NE(std::string(error).find(c.reason), std::string::npos) << error;
  }
  // A newer host's larger struct opens as long as the fields beyond are unset.
  struct {
    zcv_options options;
    unsigned later;
  } newer = {ZCV_OPTIONS_INIT, 0};
  newer.options.size = sizeof newer;
  newer.options.config_path = path.c_str();
  zcv_client* c = zcv_client_open_options(&newer.options, nullptr, 0);
  EXPECT_NE(c, nullptr);
  zcv_client_close(c);
  newer.later = 1;
  EXPECT_EQ(zcv_client_open_options(&newer.options, nullptr, 0), nullptr);
}

// Bytes in memory give what the file gives: the same reasons, log lines
// and results; the host's call time-out replaces the file's.
TEST_F(CInterfaceTest, BytesInMemoryOpenAsTheFileDoes) {
  ScriptServer hanging(Script{Hang()});
  const std::string tail = "\nReceiveTimeout=600\nCallTimeout=600\n";
  const std::string texts[] = {
      "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
          std::to_string(UnusedPort()) + tail,
      "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
          std::to_string(hanging.port()) + tail,
      "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=1\n[TLS]\nEnable=1\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    struct Outcome {
      std::vector<std::string> log;
      std::string reason;
      unsigned result = 0;
    } outcomes[2];
    for (int fromBytes = 0; fromBytes < 2; ++fromBytes) {
      Outcome& outcome = outcomes[fromBytes];
      const std::string path = WriteFile("m.ini", text);
      zcv_options options = ZCV_OPTIONS_INIT;
      if (fromBytes) {
        options.config_data = text.data();
        options.config_size = text.size();
      } else {
        options.config_path = path.c_str();
      }
      options.call_timeout_s = 1;
      options.log_fn = [](void* ctx, const char* m) {
        static_cast<std::vector<std::string>*>(ctx)->push_back(m);
      };
      options.log_ctx = &outcome.log;
      char error[ZCV_ERROR_BYTES] = "";
      zcv_client* c = zcv_client_open_options(&options, error, sizeof error);
      outcome.reason = error;
      char expire[ZCV_EXPIRE_TEXT_BYTES];
      outcome.result = zcv_auth(c, 1, 2, expire, sizeof expire);
      zcv_client_close(c);
    }
    EXPECT_EQ(outcomes[0].log, outcomes[1].log);
    EXPECT_EQ(outcomes[0].reason, outcomes[1].reason);
    EXPECT_EQ(outcomes[0].result, outcomes[1].result);
  }
}

// The configuration's GBK messages reach the log function, the log file
// and the reason as UTF-8 when the host asks for it, and as logged otherwise.
TEST_F(CInterfaceTest, Utf8MessagesWhenAsked) {
  const std::string text = "[ServerSet]\nServerIP0=127.0.0.1\n";
  const std::string gbk =
      "\xb6\xc1ServerNumber\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
  const std::string utf8 =
      "\xe8\xaf\xbb"
      "ServerNumber\xe5\x8f\x82\xe6\x95\xb0\xe9\x85\x8d\xe7\xbd\xae"
      "\xe6\x96\x87\xe4\xbb\xb6\xe9\x94\x99\xe8\xaf\xaf \n";
  for (const unsigned flags : {0u, static_cast<unsigned>(ZCV_UTF8_MESSAGES)}) {
    SCOPED_TRACE(flags);
    const std::string& expected = flags != 0 ? utf8 : gbk;
    const std::string log = dir_ + "/u.log";
    std::vector<std::string> received;
    zcv_options options = ZCV_OPTIONS_INIT;
    options.config_data = text.data();
    options.config_size = text.size();
    options.log_path = log.c_str();
    options.log_fn = [](void* ctx, const char* m) {
      static_cast<std::vector<std::string>*>(ctx)->push_back(m);
    };
    options.log_ctx = &received;
    options.flags = flags;
    char error[ZCV_ERROR_BYTES] = "";
    EXPECT_EQ(zcv_client_open_options(&options, error, sizeof error), nullptr);
    EXPECT_EQ(std::string(error) + " \n", expected);
    EXPECT_EQ(received, std::vector<std::string>{expected});
    std::ifstream in(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(logged.substr(std::min<std::size_t>(logged.size(), 17)), " : " + expected + " ");
    std::filesystem::remove(log);
  }
}

// The reason gives every fatal finding, what a line says wrongly before
// what the file then lacks, and never more than the buffer holds.
TEST_F(CInterfaceTest, ReasonNamesEveryFatalFindingMostSpecificFirst) {
  const std::string servers = "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=1\n";
  const std::string missingNumber =
      "\xb6\xc1ServerNumber\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3";
  const struct {
    std::string text;
    std::size_t room;
    std::string reason;
  } cases[] = {
      {servers + "[TLS]\nEnable=1\n", ZCV_ERROR_BYTES,
       "[TLS] Enable: unknown key; [TLS] Enabled: missing (0 or 1)"},
      {"[ServerSet]\nServerIP0=127.0.0.1\n[TLS]\nEnabled=2\n", ZCV_ERROR_BYTES,
       "[TLS] Enabled: unknown value (0 or 1); " + missingNumber},
      // Only whole reasons follow the first.
      {servers + "[TLS]\nEnable=1\n", 40, "[TLS] Enable: unknown key"},
      {servers + "[TLS]\nEnable=1\n", 10, "[TLS] Ena"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string path = WriteFile("r.ini", c.text);
    std::vector<char> error(c.room, 'x');
    EXPECT_EQ(zcv_client_open(path.c_str(), nullptr, 0, error.data(), error.size()), nullptr);
    EXPECT_EQ(std::string(error.data()), c.reason);
  }
}

// Outputs reach the caller only on ZCV_ACCEPTED: neither a verdict of the
// service nor a reply that breaks off after some fields writes them.
TEST_F(CInterfaceTest, BindingRowsAreWrittenOnlyWhenAccepted) {
  const std::string replies[] = {
      HttpReply("<Reply><Result>2002</Result></Reply>"),
      HttpReply("<Reply><Result>9999</Result><RowCount>2</RowCount><AppNo>5</AppNo></Reply>"),
  };
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply);
    ScriptServer server(Script{Send(reply)});
    zcv_client* c = Open(WriteFile("b.ini", OneServer(server.port())));
    ASSERT_NE(c, nullptr);
    int count = 7;
    zcv_bind_info rows[ZCV_MAX_BIND_ROWS];
    std::memset(rows, 0x5a, sizeof rows);
    EXPECT_NE(zcv_bind_info_query(c, 1, 2, &count, rows, ZCV_MAX_BIND_ROWS), ZCV_ACCEPTED);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(rows[0].app_no, 0x5a5a5a5a);
  }
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
