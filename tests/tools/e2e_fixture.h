// End-to-end fixture: simulators on 127.0.0.1 sharing one simulated
// service with a fixed clock, and a client of the library on files in a
// directory of the test's own (their paths are relative).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_module.h"
#include "zcvsim/sim_server.h"
#include "zcvsim/totp.h"

namespace zcv::e2e {

constexpr std::int64_t kNow = 1700000000;
constexpr std::int64_t kExpire = kNow + 365 * 24 * 3600;
constexpr const char* kConfigFile = "zcv_e2e_cfgfile.ini";
constexpr const char* kLogFile = "zcv_e2e_logfile.txt";

class EndToEndTest : public ::testing::Test {
 protected:
  static constexpr int kServers = 3;

  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "zcv_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    service_ = std::make_unique<sim::TokenService>(":memory:", [] { return kNow; });
    for (int i = 0; i < kServers; ++i) {
      servers_.push_back(std::make_unique<sim::SimServer>(*service_));
      ports_.push_back(servers_.back()->Start("127.0.0.1", 0));
      ASSERT_GT(ports_.back(), 0);
    }
  }

  void TearDown() override {
    module_.reset();
    for (auto& server : servers_) server->Stop();
    std::filesystem::current_path(old_dir_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Writes the configuration with the given servers and loads the module.
  void Load(const std::vector<int>& server_indexes) {
    WriteConfig(server_indexes);
    LoadModule();
  }
  void LoadAll() { Load({0, 1, 2}); }

  void WriteConfig(const std::vector<int>& server_indexes) {
    std::ofstream ini(kConfigFile, std::ios::trunc);
    ini << "[ServerSet]\nServerNumber=" << server_indexes.size() << "\n";
    for (std::size_t i = 0; i < server_indexes.size(); ++i) {
      ini << "ServerIP" << i << "=127.0.0.1\nServerPort" << i << "=" << ports_[server_indexes[i]]
          << "\n";
    }
  }

  // Opens the client, which reads the configuration file as it stands.
  void LoadModule() { module_ = std::make_unique<LoadedModule>(kConfigFile, kLogFile); }

  void Unload() { module_.reset(); }

  void AddCard(std::int64_t card_no, const std::string& service_no, sim::CardState state,
               const sim::Secret& secret) {
    sim::Card card;
    card.card_no = card_no;
    card.service_no = service_no;
    card.secret = secret;
    card.state = state;
    card.expire_time = kExpire;
    ASSERT_TRUE(service_->AddCard(card));
  }

  static int Code(const sim::Secret& secret, int offset = 0) {
    return static_cast<int>(sim::OtpAtStep(secret, sim::OtpStep(kNow) + offset));
  }

  // The expiry as the library writes it: local time.
  static std::string LocalText(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
  }

  std::string LogText() const {
    std::ifstream in(dir_ + "/" + kLogFile);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }

  std::uint64_t Connections() const {
    std::uint64_t n = 0;
    for (const auto& server : servers_) n += server->ConnectionCount();
    return n;
  }

  LoadedModule& lib() { return *module_; }

  std::string dir_;
  std::filesystem::path old_dir_;
  std::unique_ptr<sim::TokenService> service_;
  std::vector<std::unique_ptr<sim::SimServer>> servers_;
  std::vector<int> ports_;
  std::unique_ptr<LoadedModule> module_;
};

}  // namespace zcv::e2e
