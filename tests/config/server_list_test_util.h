// A scratch configuration file, its log, and a list loaded from them.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "config/server_list.h"
#include "tests/log/log_test_util.h"

namespace zcv::testing_config {

inline std::time_t FixedClock() { return 1704164645; }

// The configured servers as "ip:port", current first: walks the list once
// round, which leaves it in the order it started from.
inline std::vector<std::string> Order(ServerList& list) {
  std::vector<std::string> order;
  for (int i = 0; i < list.count(); ++i) {
    ServerEntry current = list.Current();
    order.push_back(std::string(current.ip) + ":" + current.port);
    list.RotateIfCurrent(current);
  }
  return order;
}

inline std::string ServerSet(int number, int entries) {
  std::string text = "[ServerSet]\nServerNumber=" + std::to_string(number) + "\n";
  for (int i = 0; i < entries; ++i) {
    text += "ServerIP" + std::to_string(i) + "=10.0.0." + std::to_string(i + 1) + "\n";
    text += "ServerPort" + std::to_string(i) + "=80" + std::to_string(i) + "\n";
  }
  return text;
}

class ServerListFixture : public testing::Test {
 protected:
  std::string ConfigPath() const { return dir_.File("cfgfile.ini"); }
  void WriteConfig(const std::string& text) const {
    std::ofstream(ConfigPath(), std::ios::binary) << text;
  }
  std::string ReadConfig() const { return testing_log::ReadAll(ConfigPath()); }
  std::unique_ptr<ServerList> Load() {
    ServerListSource source;
    source.path = ConfigPath();
    source.writeBack = true;
    return std::make_unique<ServerList>(std::move(source), mutex_, log_);
  }
  // The log's text without the 17-character time stamps.
  std::string LoggedMessages() const {
    std::string text = testing_log::ReadLog(dir_.File("log.txt"));
    return text.size() > kStampChars ? text.substr(kStampChars) : text;
  }

  static constexpr std::size_t kStampChars = 17;
  testing_log::ScratchDir dir_;
  ServiceMutex mutex_;
  LogFile log_{dir_.File("log.txt"), mutex_, FixedClock};
};

}  // namespace zcv::testing_config
