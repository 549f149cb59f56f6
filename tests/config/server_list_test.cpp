// Reading the server list, rotating it, and writing it back at unload only
// when that cannot damage the configuration file.
#include "config/server_list.h"

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>

#include "tests/config/server_list_test_util.h"

namespace zcv {
namespace {

using testing_config::Order;
using testing_config::ServerListFixture;
using testing_config::ServerSet;

// The configuration messages as GBK bytes, each followed by the entry's blank.
const std::string kNoFileLogged = " : \xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n ";
const std::string kNoNumberLogged =
    " : \xb6\xc1ServerNumber\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n ";
const std::string kNoIPLogged =
    " : \xb6\xc1ServerIp\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n ";
const std::string kNoPortLogged =
    " : \xb6\xc1ServerPort\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\n  ";
// A ServerNumber that gives no server: a warning, the list stays valid.
const std::string kNoServerLogged =
    " : \xbe\xaf\xb8\xe6\xa3\xbaServerNumber\xb2\xce\xca\xfd\xa3\xa8\xd6\xbb\xb6\xc1\xc7\xb0"
    "4\xb8\xf6\xd7\xd6\xb7\xfb\xa3\xa9\xd0\xeb\xce\xaa\xd5\xfd\xd5\xfb\xca\xfd\xa3\xac\xce\xb4"
    "\xc5\xe4\xd6\xc3\xb7\xfe\xce\xf1\xc6\xf7\n ";

struct ReadCase {
  const char* name;
  std::string text;
  bool valid;
  int count;
  std::vector<std::string> order;
  std::string logged;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ServerListReadTest : public ServerListFixture,
                           public testing::WithParamInterface<ReadCase> {};

TEST_P(ServerListReadTest, ReadsServerSet) {
  const ReadCase& c = GetParam();
  WriteConfig(c.text);
  auto list = Load();
  EXPECT_EQ(list->valid(), c.valid);
  EXPECT_EQ(list->count(), c.count);
  EXPECT_EQ(Order(*list), c.order);
  EXPECT_EQ(LoggedMessages(), c.logged);
}

const std::string kTwoServers =
    "[ServerSet]\nServerNumber=2\nServerIP0=192.0.2.10\nServerPort0=80\n"
    "ServerIP1=192.0.2.11\nServerPort1=81\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ServerListReadTest,
    testing::Values(
        ReadCase{"two_servers", kTwoServers, true, 2, {"192.0.2.10:80", "192.0.2.11:81"}, ""},
        ReadCase{"number_missing", "[ServerSet]\nServerIP0=a\n", false, 0, {}, kNoNumberLogged},
        ReadCase{"number_empty", "[ServerSet]\nServerNumber=\n", false, 0, {}, kNoNumberLogged},
        ReadCase{"number_zero", ServerSet(0, 1), true, 0, {}, kNoServerLogged},
        ReadCase{
            "number_negative", "[ServerSet]\nServerNumber=-3\n", true, -3, {}, kNoServerLogged},
        ReadCase{
            "number_not_a_number", "[ServerSet]\nServerNumber=abc\n", true, 0, {}, kNoServerLogged},
        ReadCase{"number_read_as_four_characters",
                 "[ServerSet]\nServerNumber=00002\n"
                 "ServerIP0=a\nServerPort0=1\n",
                 true,
                 0,
                 {},
                 kNoServerLogged},
        ReadCase{"number_capped_at_ten",
                 ServerSet(12, 12),
                 true,
                 10,
                 {"10.0.0.1:800", "10.0.0.2:801", "10.0.0.3:802", "10.0.0.4:803", "10.0.0.5:804",
                  "10.0.0.6:805", "10.0.0.7:806", "10.0.0.8:807", "10.0.0.9:808", "10.0.0.10:809"},
                 ""},
        ReadCase{"ip2_missing",
                 "[ServerSet]\nServerNumber=3\nServerIP0=a\nServerPort0=1\nServerIP1=b\n"
                 "ServerPort1=2\nServerPort2=3\n",
                 false,
                 3,
                 {"a:1", "b:2", ":"},
                 kNoIPLogged},
        ReadCase{"port_empty",
                 "[ServerSet]\nServerNumber=1\nServerIP0=a\nServerPort0=\n",
                 false,
                 1,
                 {"a:"},
                 kNoPortLogged},
        ReadCase{
            "long_ip_refused_not_cut",
            "[ServerSet]\nServerNumber=1\nServerIP0=" + std::string(40, 'h') + "\nServerPort0=80\n",
            false,
            1,
            {":"},
            " : \xb6\xc1ServerIP0\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce"
            "\xf3\xa3\xac\xb3\xa4\xd3\xda"
            "28\xb8\xf6\xd7\xd6\xb7\xfb\n "}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

class ServerListTest : public ServerListFixture {};

TEST_F(ServerListTest, MissingFileLeavesListInvalidAndIsNeverCreated) {
  {
    auto list = Load();
    EXPECT_FALSE(list->valid());
    EXPECT_EQ(list->count(), 0);
  }
  EXPECT_EQ(LoggedMessages(), kNoFileLogged);
  EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
}

TEST_F(ServerListTest, RotationMovesCurrentToTheEnd) {
  WriteConfig(ServerSet(3, 3));
  auto list = Load();
  list->RotateIfCurrent(list->Current());
  EXPECT_EQ(Order(*list),
            (std::vector<std::string>{"10.0.0.2:801", "10.0.0.3:802", "10.0.0.1:800"}));
}

TEST_F(ServerListTest, RotationOfOneServerChangesNothing) {
  WriteConfig(ServerSet(1, 1));
  auto list = Load();
  list->RotateIfCurrent(list->Current());
  EXPECT_EQ(Order(*list), (std::vector<std::string>{"10.0.0.1:800"}));
}

TEST_F(ServerListTest, StaleSnapshotDoesNotRotateAgain) {
  WriteConfig(ServerSet(3, 3));
  auto list = Load();
  ServerEntry seen = list->Current();
  list->RotateIfCurrent(seen);
  list->RotateIfCurrent(seen);  // a second caller that failed on the same server
  EXPECT_STREQ(list->Current().ip, "10.0.0.2");
}

TEST_F(ServerListTest, ServersSharingAnIPAreToldApartByPort) {
  WriteConfig(
      "[ServerSet]\nServerNumber=2\nServerIP0=10.0.0.1\nServerPort0=80\n"
      "ServerIP1=10.0.0.1\nServerPort1=81\n");
  auto list = Load();
  ServerEntry other;
  std::strcpy(other.ip, "10.0.0.1");
  std::strcpy(other.port, "81");
  list->RotateIfCurrent(other);
  EXPECT_STREQ(list->Current().port, "80");
  list->RotateIfCurrent(list->Current());
  EXPECT_STREQ(list->Current().port, "81");
}

// A file as an administrator keeps it: comments, other sections, CRLF line
// ends, a restrictive mode, time-outs and an entry beyond ServerNumber.
const char kKeptFile[] =
    "; token servers\r\n[Proxy]\r\nServerIP0=keep\r\n[ServerSet]\r\nServerNumber = 3\r\n"
    "CallTimeout = 30\r\nConnectTimeout=5\r\n"
    "ServerIP0 = 10.0.0.1\r\nServerPort0=800\r\n# second\r\nServerIP1=10.0.0.2\r\n"
    "ServerPort1=801\r\nServerIP2=10.0.0.3\r\nServerPort2=802\r\nServerIP3=10.0.0.4\r\n"
    "ServerPort3=803\r\n[Tail]\r\nx=1\r\n";

class ServerListWriteBackTest : public ServerListFixture {
 protected:
  void SetUp() override {
    WriteConfig(kKeptFile);
    std::filesystem::permissions(ConfigPath(), std::filesystem::perms(0640));
  }
  std::filesystem::perms Mode() const {
    return std::filesystem::status(ConfigPath()).permissions();
  }
  ino_t Inode() const {
    struct stat st {};
    ::stat(ConfigPath().c_str(), &st);
    return st.st_ino;
  }
};

TEST_F(ServerListWriteBackTest, RotatedOrderReplacesOnlyTheValues) {
  auto list = Load();
  list->RotateIfCurrent(list->Current());
  list.reset();
  EXPECT_EQ(ReadConfig(),
            "; token servers\r\n[Proxy]\r\nServerIP0=keep\r\n[ServerSet]\r\nServerNumber = 3\r\n"
            "CallTimeout = 30\r\nConnectTimeout=5\r\n"
            "ServerIP0 = 10.0.0.2\r\nServerPort0=801\r\n# second\r\nServerIP1=10.0.0.3\r\n"
            "ServerPort1=802\r\nServerIP2=10.0.0.1\r\nServerPort2=800\r\nServerIP3=10.0.0.4\r\n"
            "ServerPort3=803\r\n[Tail]\r\nx=1\r\n");
  EXPECT_EQ(Mode(), std::filesystem::perms(0640));
  EXPECT_EQ(testing_log::ReadAll(dir_.File("log.txt")), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.File("")),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
}

TEST_F(ServerListWriteBackTest, UnrotatedListIsNotWritten) {
  ino_t before = Inode();
  {
    auto list = Load();
    Order(*list);  // once round and back to the order read
  }
  EXPECT_EQ(Inode(), before);
  EXPECT_EQ(ReadConfig(), kKeptFile);
}

TEST_F(ServerListWriteBackTest, EditMadeWhileLoadedIsKept) {
  const std::pair<const char*, const char*> edits[] = {
      {"ServerNumber = 3", "ServerNumber = 2"},
      {"ServerIP1=10.0.0.2", "ServerIP1=10.0.0.9"},
      {"ServerPort2=802", "ServerPort2=809"},
  };
  for (const auto& [from, to] : edits) {
    WriteConfig(kKeptFile);
    auto list = Load();
    list->RotateIfCurrent(list->Current());
    std::string edited = kKeptFile;
    edited.replace(edited.find(from), std::strlen(from), to);
    WriteConfig(edited);
    list.reset();
    EXPECT_EQ(ReadConfig(), edited) << to;
  }
}

// A value lengthened while loaded differs from the one read only beyond the
// 28 characters a cut read would see: it is compared whole and kept.
TEST_F(ServerListWriteBackTest, ValueLengthenedWhileLoadedIsKept) {
  const std::string loaded =
      "[ServerSet]\nServerNumber=2\nServerIP0=otp-primary.bank-example.com\nServerPort0=80\n"
      "ServerIP1=10.0.0.2\nServerPort1=81\n";
  WriteConfig(loaded);
  auto list = Load();
  ASSERT_TRUE(list->valid());
  list->RotateIfCurrent(list->Current());
  std::string edited = loaded;
  edited.insert(edited.find("\nServerPort0"), ".cn");
  WriteConfig(edited);
  list.reset();
  EXPECT_EQ(ReadConfig(), edited);
}

TEST_F(ServerListWriteBackTest, FileRemovedWhileLoadedIsNotRecreated) {
  auto list = Load();
  list->RotateIfCurrent(list->Current());
  std::filesystem::remove(ConfigPath());
  list.reset();
  EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
}

#ifndef _WIN32
// A process id that no longer runs: a child that has exited and been reaped.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

TEST_F(ServerListWriteBackTest, RemovesTemporariesOfDeadWritersOnly) {
  const std::string dead = ConfigPath() + ".tmp" + std::to_string(DeadPid()) + ".a1B2c3";
  const std::string live = ConfigPath() + ".tmp" + std::to_string(::getppid()) + ".a1B2c3";
  const std::string unrelated = ConfigPath() + ".tmp" + std::to_string(DeadPid()) + ".bak";
  for (const std::string& path : {dead, live, unrelated}) std::ofstream(path) << "partial";
  auto list = Load();
  list->RotateIfCurrent(list->Current());
  list.reset();
  EXPECT_FALSE(std::filesystem::exists(dead));
  EXPECT_TRUE(std::filesystem::exists(live));
  EXPECT_TRUE(std::filesystem::exists(unrelated));
  EXPECT_NE(ReadConfig().find("ServerIP0 = 10.0.0.2"), std::string::npos);  // written back
}
#endif  // The Windows write-back names its temporaries differently.

}  // namespace
}  // namespace zcv
