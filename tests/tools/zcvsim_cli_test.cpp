// The zcvsim program's care for the cards' secrets and its files: the
// database is private to its owner, a secret is never taken from the command
// line, a generated one is shown only when asked for, and the port file is
// written without following a link planted beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "zcvsim/totp.h"

namespace zcv::sim {
namespace {

constexpr std::int64_t kAt = 1700000000;
constexpr int kRefused = -2;
const char kSecretHex[] = "3132333435363738393031323334353637383930";

class ZcvsimProgramTest : public ::testing::Test {
 protected:
  ZcvsimProgramTest() {
    std::string pattern = ::testing::TempDir() + "zcvsim-cli-XXXXXX";
    dir_ = ::mkdtemp(&pattern[0]);
  }
  ~ZcvsimProgramTest() override { std::filesystem::remove_all(dir_); }

  struct Run {
    int status;
    std::string out;
  };

  // Runs zcvsim with `args`, `input` on its standard input.
  Run Zcvsim(const std::string& args, const std::string& input = "") {
    std::ofstream(dir_ + "/stdin") << input;
    const std::string command = std::string(ZCVSIM) + " " + args + " <" + dir_ + "/stdin 2>&1";
    Run run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
  }

  std::string Db() const { return dir_ + "/cards.db"; }
  std::string AddCard(const std::string& card) const {
    return "add-card --db " + Db() + " --card " + card + " --service-no SN-" + card;
  }
  // The code the card shows at kAt, as zcvsim prints it.
  std::string Otp(const std::string& card) {
    return Zcvsim("otp --db " + Db() + " --card " + card + " --at " + std::to_string(kAt)).out;
  }
  static std::string OtpOf(const std::string& hex) {
    return FormatOtp(OtpAtStep(*SecretFromHex(hex), OtpStep(kAt))) + "\n";
  }

  std::string dir_;
};

TEST_F(ZcvsimProgramTest, TheDatabaseIsPrivateAndMadeOnlyInAPrivateFolder) {
  ASSERT_EQ(Zcvsim(AddCard("1001")).status, 0);
  for (const char* suffix : {"", "-wal", "-shm"}) {
    struct stat status;
    if (::stat((Db() + suffix).c_str(), &status) != 0) continue;
    EXPECT_EQ(status.st_mode & 0777, 0600u) << suffix;
  }

  const std::string shared = dir_ + "/shared";
  ::mkdir(shared.c_str(), 0700);
  ::chmod(shared.c_str(), 0770);
  EXPECT_NE(Zcvsim("add-card --db " + shared + "/cards.db --card 1 --service-no S").status, 0);
  EXPECT_FALSE(std::filesystem::exists(shared + "/cards.db"));
}

TEST_F(ZcvsimProgramTest, SecretsComeFromAFileOrStandardInputAndAreShownOnlyOnRequest) {
  std::ofstream(dir_ + "/secret") << "  " << kSecretHex << "\n";
  const struct {
    const char* name;
    std::string args;
    std::string input;
    int status;  // kRefused: any failure
    bool printsSecret;
  } cases[] = {
      {"standard input", "--secret-file -", std::string(kSecretHex) + "\n", 0, false},
      {"file", "--secret-file " + dir_ + "/secret", "", 0, false},
      {"generated", "", "", 0, false},
      {"generated and shown", "--print-secret", "", 0, true},
      {"not hexadecimal", "--secret-file -", "not a secret\n", 2, false},
      {"on the command line", std::string("--secret ") + kSecretHex, "", kRefused, false},
  };
  int card = 2000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string number = std::to_string(++card);
    const Run run = Zcvsim(AddCard(number) + " " + c.args, c.input);
    if (c.status == kRefused) {
      EXPECT_NE(run.status, 0) << run.out;
      continue;
    }
    EXPECT_EQ(run.status, c.status) << run.out;
    EXPECT_EQ(run.out.find(kSecretHex), std::string::npos);
    const std::string::size_type shown = run.out.find("\nsecret ");
    EXPECT_EQ(shown != std::string::npos, c.printsSecret) << run.out;
    if (c.status != 0) continue;
    if (c.printsSecret) {
      EXPECT_EQ(Otp(number), OtpOf(run.out.substr(shown + 8, 40)));
    } else if (!c.input.empty() || c.args.find("--secret-file") != std::string::npos) {
      EXPECT_EQ(Otp(number), OtpOf(kSecretHex));
    }
  }
}

TEST_F(ZcvsimProgramTest, PortFileIsWrittenWithoutFollowingAPlantedLink) {
  ASSERT_EQ(Zcvsim(AddCard("1001")).status, 0);
  const std::string victim = dir_ + "/victim";
  const std::string port_file = dir_ + "/port";
  std::ofstream(victim) << "kept\n";
  for (const char* planted : {".tmp", ".XXXXXX"}) {
    ASSERT_EQ(::symlink(victim.c_str(), (port_file + planted).c_str()), 0);
  }
  const Run run =
      Zcvsim("serve --db " + Db() + " --port 0 --port-file " + port_file + " --max-seconds 1");
  EXPECT_EQ(run.status, 0) << run.out;
  std::ifstream in(port_file);
  int port = 0;
  in >> port;
  EXPECT_NE(run.out.find("serving on 127.0.0.1:" + std::to_string(port) + " "), std::string::npos)
      << run.out;
  std::ifstream kept(victim);
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "kept");
  EXPECT_TRUE(std::filesystem::is_symlink(port_file + ".tmp"));
}

}  // namespace
}  // namespace zcv::sim
