// The server list: read once at load, rotated under the service mutex when a
// server fails, and written back at unload only when that is safe.
#include "config/server_list.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "config/tls_settings.h"
#include "platform/file.h"
#include "platform/ini_file.h"

namespace zcv {
namespace {

constexpr char kSection[] = "ServerSet";
constexpr char kNumberKey[] = "ServerNumber";
constexpr std::size_t kNumberReadBytes = 5;                   // 4 characters seen
constexpr std::size_t kIPReadBytes = kServerIPBytes - 1;      // 28 characters kept
constexpr std::size_t kPortReadBytes = kServerPortBytes - 1;  // 5 characters kept
constexpr std::size_t kKeyBytes = 32;

// The configuration messages are GBK text, kept here as their bytes.
// "读配置文件错误 \n"
constexpr char kNoFileMessage[] = "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
// "读ServerNumber参数配置文件错误 \n"
constexpr char kNoNumberMessage[] =
    "\xb6\xc1"
    "ServerNumber"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
// "读ServerIp参数配置文件错误 \n"
constexpr char kNoIPMessage[] =
    "\xb6\xc1"
    "ServerIp"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
// "读ServerPort参数配置文件错误\n " (the blank follows the line feed)
constexpr char kNoPortMessage[] =
    "\xb6\xc1"
    "ServerPort"
    "\xb2\xce\xca\xfd\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\n ";
constexpr char kReadExceptionMessage[] = "exception catched in read config file\n";
constexpr char kRotateExceptionMessage[] = "exception catched in change config\n";
constexpr char kCurrentExceptionMessage[] = "exception catched in GetServerIP\n";

std::string IPKey(int i) {
  char key[kKeyBytes];
  std::snprintf(key, sizeof key, "ServerIP%d", i);
  return key;
}

std::string PortKey(int i) {
  char key[kKeyBytes];
  std::snprintf(key, sizeof key, "ServerPort%d", i);
  return key;
}

std::string ReadValue(const std::string& text, const std::string& key, std::size_t bytes) {
  return platform::ReadIniValue(text, kSection, key, bytes);
}

// Copies a value that ReadValue has already cut to fit, NUL-padded.
template <std::size_t N>
void Store(char (&slot)[N], const std::string& value) {
  std::memset(slot, 0, N);
  std::memcpy(slot, value.data(), std::min(value.size(), N - 1));
}

}  // namespace

bool SameServer(const ServerEntry& a, const ServerEntry& b) {
  return std::strncmp(a.ip, b.ip, kServerIPBytes) == 0 &&
         std::strncmp(a.port, b.port, kServerPortBytes) == 0;
}

ServerList::ServerList(std::string configPath, ServiceMutex& mutex, LogFile& log, bool writeBack)
    : configPath_(std::move(configPath)), mutex_(mutex), log_(log), writeBack_(writeBack) {
  ReadConfigFile();
  std::copy(std::begin(servers_), std::end(servers_), std::begin(loaded_));
}

ServerList::~ServerList() {
  try {
    WriteConfigFile();
  } catch (...) {
    // Unloading goes on whatever the write-back met.
  }
}

void ServerList::ReadConfigFile() {
  count_ = 0;
  valid_ = true;
  try {
    std::string text;
    if (!platform::ReadWholeFile(configPath_, &text)) {
      log_.WriteLog(kNoFileMessage);
      valid_ = false;
      return;
    }
    loadedNumber_ = ReadValue(text, kNumberKey, kNumberReadBytes);
    if (loadedNumber_.empty()) {
      log_.WriteLog(kNoNumberMessage);
      valid_ = false;
      return;
    }
    count_ = std::min(std::atoi(loadedNumber_.c_str()), kMaxServers);
    for (int i = 0; i < count_; ++i) {
      std::string ip = ReadValue(text, IPKey(i), kIPReadBytes);
      if (ip.empty()) {
        log_.WriteLog(kNoIPMessage);
        valid_ = false;
        return;
      }
      Store(servers_[i].ip, ip);
      std::string port = ReadValue(text, PortKey(i), kPortReadBytes);
      if (port.empty()) {
        log_.WriteLog(kNoPortMessage);
        valid_ = false;
        return;
      }
      Store(servers_[i].port, port);
    }
    if (!ReadTimeouts(text, log_, &timeouts_)) valid_ = false;
    if (valid_ && !ReadTlsSettings(text, log_, &tls_)) valid_ = false;
  } catch (...) {
    log_.WriteLog(kReadExceptionMessage);
    valid_ = false;
  }
}

ServerEntry ServerList::Current() const {
  try {
    ServiceLock lock(mutex_);
    return servers_[0];
  } catch (...) {
    // Reached only when the lock cannot be taken; logged after it is gone.
  }
  log_.WriteLog(kCurrentExceptionMessage);
  return ServerEntry{};
}

ServerEntry ServerList::At(int index) const {
  if (index < 0 || index >= count_) return ServerEntry{};
  ServiceLock lock(mutex_);
  return servers_[index];
}

void ServerList::RotateIfCurrent(const ServerEntry& seen) {
  try {
    ServiceLock lock(mutex_);
    if (SameServer(servers_[0], seen)) ChangeConfig();
    return;
  } catch (...) {
  }
  log_.WriteLog(kRotateExceptionMessage);
}

void ServerList::ChangeConfig() {
  if (count_ < 2) return;
  std::rotate(servers_, servers_ + 1, servers_ + count_);
}

void ServerList::WriteConfigFile() const {
  if (!writeBack_ || !valid_ || count_ < 2) return;
  bool rotated = false;
  for (int i = 0; i < count_; ++i) rotated = rotated || !SameServer(servers_[i], loaded_[i]);
  if (!rotated) return;

  // The file must still hold what was read at load: an edit made while the
  // host ran is the newer truth and is never overwritten.
  std::string text;
  if (!platform::ReadWholeFile(configPath_, &text)) return;
  if (ReadValue(text, kNumberKey, kNumberReadBytes) != loadedNumber_) return;
  std::vector<platform::IniValue> values;
  for (int i = 0; i < count_; ++i) {
    if (ReadValue(text, IPKey(i), kIPReadBytes) != loaded_[i].ip ||
        ReadValue(text, PortKey(i), kPortReadBytes) != loaded_[i].port) {
      return;
    }
    values.push_back({IPKey(i), servers_[i].ip});
    values.push_back({PortKey(i), servers_[i].port});
  }
  std::string rewritten;
  if (!platform::ReplaceIniValues(text, kSection, values, &rewritten)) return;
  platform::ReplaceFileContents(configPath_, rewritten);
}

}  // namespace zcv
