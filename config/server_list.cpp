// The server list: read once at load, rotated under the service mutex when a
// server fails, and written back at unload only when that is safe.
#include "config/server_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "config/config_reader.h"
#include "platform/file.h"
#include "platform/ini_file.h"

namespace zcv {
namespace {

constexpr char kSection[] = "ServerSet";
constexpr char kNumberKey[] = "ServerNumber";
constexpr std::size_t kKeyBytes = 32;

// The configuration messages are GBK text, kept here as their bytes.
// "读配置文件错误 \n"
constexpr char kNoFileMessage[] = "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3 \n";
// "读配置文件错误，不是普通文件\n": a FIFO, device or folder is never read.
constexpr char kNotRegularMessage[] =
    "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xb2\xbb\xca\xc7\xc6\xd5"
    "\xcd\xa8\xce\xc4\xbc\xfe\n";
// "读配置文件错误，大于1048576字节\n"
constexpr char kTooLargeMessage[] =
    "\xb6\xc1\xc5\xe4\xd6\xc3\xce\xc4\xbc\xfe\xb4\xed\xce\xf3\xa3\xac\xb4\xf3\xd3\xda"
    "1048576\xd7\xd6\xbd\xda\n";
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

// The value as the file holds it now, never cut.
std::string WholeValue(const std::string& text, const std::string& key) {
  return platform::ReadIniValue(text, kSection, key, text.size() + 1);
}

const char* ReadFaultMessage(platform::ReadFault fault) {
  switch (fault) {
    case platform::ReadFault::kNotRegular:
      return kNotRegularMessage;
    case platform::ReadFault::kTooLarge:
      return kTooLargeMessage;
    default:
      return kNoFileMessage;
  }
}

}  // namespace

bool SameServer(const ServerEntry& a, const ServerEntry& b) {
  return std::strncmp(a.ip, b.ip, kServerIPBytes) == 0 &&
         std::strncmp(a.port, b.port, kServerPortBytes) == 0;
}

ServerList::ServerList(ServerListSource source, ServiceMutex& mutex, LogFile& log)
    : source_(std::move(source)), mutex_(mutex), log_(log) {
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
  try {
    std::string text;
    const platform::ReadFault fault =
        source_.text ? platform::ReadFault::kNone
                     : platform::ReadBoundedFile(source_.path, platform::kMaxReadFileBytes, &text);
    if (source_.text) text = *source_.text;
    if (fault != platform::ReadFault::kNone) {
      findings_.push_back({0, true, ReadFaultMessage(fault), true});
    } else {
      ConfigReading reading = ReadConfigText(text);
      findings_ = std::move(reading.findings);
      loadedNumber_ = reading.servers.number;
      count_ = reading.servers.count;
      std::copy(std::begin(reading.servers.servers), std::end(reading.servers.servers),
                std::begin(servers_));
      timeouts_ = reading.timeouts;
      family_ = reading.servers.family;
      keepAlive_ = reading.servers.keepAlive;
      ApplyTimeoutOverrides(source_.timeouts, &timeouts_);
      // Built only for a file without other faults; its own failure is
      // found last, after the file's lines.
      if (reading.tls.enabled && !HasFatal(findings_)) {
        tls_ = MakeConfiguredTlsContext(reading.tls, source_.caPem, &findings_);
      }
    }
  } catch (...) {
    findings_.push_back({0, true, kReadExceptionMessage, true});
  }
  valid_ = !HasFatal(findings_);
  for (const ConfigFinding& finding : findings_) log_.WriteLog(finding.message.c_str());
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
  // Nothing refused at load: every entry was read whole and checked.
  if (!source_.writeBack || source_.text || !valid_ || count_ < 2) return;
  bool rotated = false;
  for (int i = 0; i < count_; ++i) rotated = rotated || !SameServer(servers_[i], loaded_[i]);
  if (!rotated) return;

  // The file must still hold, whole, what was read at load: an edit made
  // while the host ran is the newer truth and is never overwritten.
  std::string text;
  if (!platform::ReadWholeFile(source_.path, &text)) return;
  if (WholeValue(text, kNumberKey) != loadedNumber_) return;
  std::vector<platform::IniValue> values;
  for (int i = 0; i < count_; ++i) {
    if (WholeValue(text, IPKey(i)) != loaded_[i].ip ||
        WholeValue(text, PortKey(i)) != loaded_[i].port) {
      return;
    }
    values.push_back({IPKey(i), servers_[i].ip});
    values.push_back({PortKey(i), servers_[i].port});
  }
  std::string rewritten;
  if (!platform::ReplaceIniValues(text, kSection, values, &rewritten)) return;
  platform::ReplaceFileContents(source_.path, rewritten);
}

}  // namespace zcv
