// The configured token-service servers, current first: read from the INI
// file at load, rotated when a server fails, written back at unload.
#pragma once

#include <memory>
#include <string>

#include "config/timeouts.h"
#include "log/log_file.h"
#include "log/service_mutex.h"
#include "platform/tls.h"

namespace zcv {

constexpr int kMaxServers = 10;
constexpr int kServerIPBytes = 30;   // 28 characters kept, NUL-padded
constexpr int kServerPortBytes = 7;  // 5 characters kept, NUL-padded

// One server: its IP (or host name) text and its decimal port text.
struct ServerEntry {
  char ip[kServerIPBytes] = {};
  char port[kServerPortBytes] = {};
};

bool SameServer(const ServerEntry& a, const ServerEntry& b);

class ServerList {
 public:
  // Reads section ServerSet of the INI file (ServerNumber, ServerIP<i>,
  // ServerPort<i> and the optional time-outs); logs and marks the list
  // invalid on any failure. `writeBack`: whether destruction writes the
  // rotated order back.
  ServerList(std::string configPath, ServiceMutex& mutex, LogFile& log, bool writeBack = true);
  // With write-back on, writes the rotated order back, but only when it
  // changed since load and the file's entries are still the ones read;
  // never damages the file.
  ~ServerList();

  ServerList(const ServerList&) = delete;
  ServerList& operator=(const ServerList&) = delete;

  // Fixed after construction; read without the lock.
  bool valid() const { return valid_; }
  int count() const { return count_; }
  // The TLS context every server is reached through; null for plain HTTP.
  platform::TlsContext* tls() const { return tls_.get(); }
  const AttemptTimeouts& timeouts() const { return timeouts_; }

  // The current server's IP and port, copied in one locked step.
  ServerEntry Current() const;
  // The server at place `index` (0 to count() - 1) of the current order,
  // copied in one locked step.
  ServerEntry At(int index) const;

  // Moves the current server to the end of the list, but only when it is
  // still the one the caller saw (IP and port compared): two calls that
  // failed on the same server rotate once. One locked step.
  void RotateIfCurrent(const ServerEntry& seen);

 private:
  void ReadConfigFile();
  void WriteConfigFile() const;
  void ChangeConfig();  // caller holds the mutex

  std::string configPath_;
  ServiceMutex& mutex_;
  LogFile& log_;
  bool writeBack_;
  int count_ = 0;
  bool valid_ = false;
  AttemptTimeouts timeouts_;
  ServerEntry servers_[kMaxServers];
  ServerEntry loaded_[kMaxServers];  // the order read at load
  std::string loadedNumber_;         // ServerNumber as read at load
  std::unique_ptr<platform::TlsContext> tls_;
};

}  // namespace zcv
