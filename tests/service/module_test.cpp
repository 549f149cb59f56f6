// The real shared library loaded and unloaded in a fresh child process per
// case (the module host program): reading the INI file at load, logging configuration errors, and
// writing the rotated order back at unload.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "support/script_server.h"
#include "zephyrcoilvault.h"

namespace zcv::test {
namespace {

// GBK texts of the configuration messages.
const std::string kFileError = "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
const std::string kNumberError =
    "\xb6\xc1ServerNumber\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
const std::string kIpError =
    "\xb6\xc1ServerIp\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
const std::string kPortError =
    "\xb6\xc1ServerPort\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\n ";
// "警告：ServerNumber参数（只读前4个字符）须为正整数，未配置服务器\n"
const std::string kNoServerWarning =
    "\xbe\xaf\xb8\xe6\xa3\xbaServerNumber\xb2\xce\xca\xfd\xa3\xa8\xd6\xbb\xb6\xc1\xc7\xb0"
    "4\xb8\xf6\xd7\xd6\xb7\xfb\xa3\xa9\xd0\xeb\xce\xaa\xd5\xfd\xd5\xfb\xca\xfd\xa3\xac\xce\xb4"
    "\xc5\xe4\xd6\xc3\xb7\xfe\xce\xf1\xc6\xf7\n";
// "读ServerIP0参数配置文件错误，长于28个字符\n"
const std::string kLongIpError =
    "\xb6\xc1ServerIP0\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac"
    "\xb3\xa4\xd3\xda"
    "28\xb8\xf6\xd7\xd6\xb7\xfb\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ModuleTest : public ::testing::Test {
 protected:
  ModuleTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zcv-module-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
  }
  ~ModuleTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  void WriteIni(const std::string& text) { std::ofstream(Ini(), std::ios::binary) << text; }
  std::string Ini() const { return dir_ + "/cfgfile.ini"; }
  std::string Log() const { return ReadFile(dir_ + "/logfile.txt"); }

  // Runs the module host in the test's directory: one TokenAuth call, then,
  // given `editedIni`, that text written over the INI file while the library
  // is still loaded. Its exit status (the result modulo 256), or 200 when it
  // did not exit by itself within kChildSeconds. Given `beforeGoAhead`, the
  // child's standard input is a pipe: that function runs once the child is
  // started, and then one byte is written to it.
  int AuthResultInChild(const char* editedIni = nullptr,
                        const std::function<void()>& beforeGoAhead = {}) {
    char* const argv[] = {const_cast<char*>(ZCV_MODULE_HOST), dir_.data(),
                          const_cast<char*>(editedIni), nullptr};
    int goAhead[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (beforeGoAhead) {
      // A child that ended early must fail the test, not kill it by SIGPIPE.
      std::signal(SIGPIPE, SIG_IGN);
      if (pipe2(goAhead, O_CLOEXEC) != 0) return 202;
      posix_spawn_file_actions_adddup2(&actions, goAhead[0], STDIN_FILENO);
    }
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, ZCV_MODULE_HOST, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (goAhead[0] >= 0) close(goAhead[0]);
    if (spawned == 0 && beforeGoAhead) {
      beforeGoAhead();
      const char byte = 'g';
      EXPECT_EQ(write(goAhead[1], &byte, 1), 1);
    }
    if (goAhead[1] >= 0) close(goAhead[1]);
    if (spawned != 0) return 201;
    for (int waited = 0; waited < kChildSeconds * kPollsPerSecond; ++waited) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
      usleep(1000000 / kPollsPerSecond);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return 200;
  }

  static constexpr int kChildSeconds = 60;
  static constexpr int kPollsPerSecond = 100;
  std::string dir_;
};

constexpr int kNoAnswerStatus = kNoAnswer % 256;
constexpr int kAcceptedStatus = kAccepted % 256;

TEST_F(ModuleTest, MissingFileIsLoggedAndNeverCreated) {
  EXPECT_EQ(AuthResultInChild(), kNoAnswerStatus);
  EXPECT_NE(Log().find(kFileError), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

// Loading makes no default client: a host of the C interface alone never
// reads the default configuration file, nor logs for it.
TEST_F(ModuleTest, HostOfTheCInterfaceAloneTouchesNoDefaultFile) {
  std::ofstream(dir_ + "/c.ini") << "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0="
                                 << UnusedPort() << "\n";
  EXPECT_EQ(AuthResultInChild("--c-only"), kNoAnswerStatus);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/logfile.txt"));
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

TEST_F(ModuleTest, ConfigurationFaults) {
  ScriptServer server(
      Script{Send(HttpReply("<Reply><Result>9999</Result><ExpireTime>0</ExpireTime></Reply>"))});
  const std::string port = std::to_string(server.port());
  std::string twelve = "[ServerSet]\nServerNumber=12\n";
  for (int i = 0; i < 12; ++i) {
    twelve += "ServerIP" + std::to_string(i) + "=127.0.0.1\nServerPort" + std::to_string(i) + "=" +
              port + "\n";
  }
  // 28 characters that name 127.0.0.1 numerically, and more: refused, never cut off.
  const std::string longIp = "127.0.0.00000000000000000001" + std::string(12, '9');
  struct Case {
    const char* name;
    std::string ini;
    int status;
    std::string log;  // the whole log without time stamps, or empty
  } cases[] = {
      {"number missing", "[ServerSet]\nServerIP0=127.0.0.1\n", kNoAnswerStatus, kNumberError},
      {"number zero", "[ServerSet]\nServerNumber=0\n", kNoAnswerStatus, kNoServerWarning},
      {"number negative", "[ServerSet]\nServerNumber=-3\n", kNoAnswerStatus, kNoServerWarning},
      {"number above ten", twelve, kAcceptedStatus, ""},
      {"third ip missing",
       "[ServerSet]\nServerNumber=3\nServerIP0=a\nServerPort0=1\nServerIP1=b\nServerPort1=2\n"
       "ServerPort2=3\n",
       kNoAnswerStatus, kIpError},
      {"empty port", "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=\n",
       kNoAnswerStatus, kPortError},
      {"ip longer than 28",
       "[ServerSet]\nServerNumber=1\nServerIP0=" + longIp + "\nServerPort0=" + port + "\n",
       kNoAnswerStatus, kLongIpError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir_ + "/logfile.txt");
    WriteIni(c.ini);
    EXPECT_EQ(AuthResultInChild(), c.status);
    const std::string log = Log();
    if (c.log.empty()) {
      EXPECT_EQ(log, "");
    } else {
      // "<17-byte time stamp> : <message> "
      ASSERT_GT(log.size(), 20u);
      EXPECT_EQ(log.substr(17), " : " + c.log + " ");
    }
  }
}

TEST_F(ModuleTest, RotatedOrderIsWrittenBackAtUnload) {
  ScriptServer live(
      Script{Send(HttpReply("<R><Result>9999</Result><ExpireTime>0</ExpireTime></R>"))});
  const std::string dead = std::to_string(UnusedPort());
  const std::string port = std::to_string(live.port());
  WriteIni("; servers\r\n[ServerSet]\r\nServerNumber=2\r\nServerIP0=127.0.0.1\r\nServerPort0=" +
           dead + "\r\nServerIP1=localhost\r\nServerPort1=" + port + "\r\n[Other]\r\nx=1\r\n");
  EXPECT_EQ(AuthResultInChild(), kAcceptedStatus);
  EXPECT_EQ(ReadFile(Ini()),
            "; servers\r\n[ServerSet]\r\nServerNumber=2\r\nServerIP0=localhost\r\n"
            "ServerPort0=" +
                port + "\r\nServerIP1=127.0.0.1\r\nServerPort1=" + dead + "\r\n[Other]\r\nx=1\r\n");
}

TEST_F(ModuleTest, EditMadeWhileLoadedIsNeverOverwritten) {
  ScriptServer live(
      Script{Send(HttpReply("<R><Result>9999</Result><ExpireTime>0</ExpireTime></R>"))});
  const std::string dead = std::to_string(UnusedPort());
  WriteIni("[ServerSet]\nServerNumber=2\nServerIP0=127.0.0.1\nServerPort0=" + dead +
           "\nServerIP1=127.0.0.1\nServerPort1=" + std::to_string(live.port()) + "\n");
  const std::string edited = "[ServerSet]\nServerNumber=1\nServerIP0=10.0.0.1\nServerPort0=80\n";
  EXPECT_EQ(AuthResultInChild(edited.c_str()), kAcceptedStatus);
  EXPECT_EQ(ReadFile(Ini()), edited);
}

TEST_F(ModuleTest, ExitWhileThreadsAreMidCallWaitsForThemAndEnds) {
  ScriptServer stalling(Script{Hang()});
  WriteIni("[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" +
           std::to_string(stalling.port()) + "\nReceiveTimeout=1\n");
  // The host's four threads are mid-call once the server holds their requests.
  EXPECT_EQ(AuthResultInChild("--exit-mid-call",
                              [&] {
                                EXPECT_TRUE(stalling.WaitForRequests(4, std::chrono::seconds(20)))
                                    << stalling.connections() << " connections";
                              }),
            7);
}

}  // namespace
}  // namespace zcv::test
