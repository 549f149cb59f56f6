// The configured token-service servers, current first: read from the INI
// file at load, rotated when a server fails, written back at unload.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "config/finding.h"
#include "config/server_entry.h"
#include "config/timeouts.h"
#include "log/log_file.h"
#include "log/service_mutex.h"
#include "platform/resolver.h"
#include "platform/tls.h"

namespace zcv {

// Where a server list comes from, and what its host puts in place of the
// file's own settings.
struct ServerListSource {
  std::string path;                  // the INI file, read whole at construction
  std::optional<std::string> text;   // or the file's bytes, given in memory (no write-back)
  std::optional<std::string> caPem;  // trusted certificates in place of CAFile
  TimeoutOverrides timeouts;
  bool writeBack = false;  // whether destruction writes the rotated order back
};

class ServerList {
 public:
  // Reads sections ServerSet (ServerNumber, ServerIP<i>, ServerPort<i>
  // and the optional time-outs) and TLS of the source whole, logs every
  // finding in file order, and marks the list invalid when any is fatal.
  // The source is a path (a regular file of at most
  // platform::kMaxReadFileBytes, opened without waiting) or bytes.
  ServerList(ServerListSource source, ServiceMutex& mutex, LogFile& log);
  // With write-back on, writes the rotated order back, but only when
  // nothing was refused at load, the order changed, and the file's entries
  // are still the ones read, whole; never damages the file.
  ~ServerList();

  ServerList(const ServerList&) = delete;
  ServerList& operator=(const ServerList&) = delete;

  // Fixed after construction; read without the lock.
  bool valid() const { return valid_; }
  int count() const { return count_; }
  // The TLS context every server is reached through; null for plain HTTP.
  platform::TlsContext* tls() const { return tls_.get(); }
  const AttemptTimeouts& timeouts() const { return timeouts_; }
  // The families names are looked up for and addresses dialed in.
  platform::AddressFamily addressFamily() const { return family_; }
  // How long a connection is kept idle for the next call, in seconds; 0:
  // never kept, one connection per attempt.
  int keepAliveSeconds() const { return keepAlive_; }
  // Every problem the load found, in the order of the file's lines (the
  // missing file, or a missing key, at its section's header; a failure to
  // set up TLS, found once the file is read, last), each with the message
  // the log got (without the time stamp) and whether it is fatal. The list
  // is valid exactly when none is fatal. A warning leaves the list as it
  // is: an unknown or repeated [ServerSet] key, a second [ServerSet]
  // section, and a ServerNumber that gives no server (valid but empty:
  // every call answers 1012, so a caller that needs servers also checks
  // count() > 0). ReadConfigText (config/config_reader.h) gives the same
  // findings, but for TLS set-up, without logging or building anything.
  const ConfigFindings& findings() const { return findings_; }

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

  ServerListSource source_;
  ServiceMutex& mutex_;
  LogFile& log_;
  int count_ = 0;
  bool valid_ = false;
  AttemptTimeouts timeouts_;
  platform::AddressFamily family_ = platform::AddressFamily::kAny;
  int keepAlive_ = 0;
  ServerEntry servers_[kMaxServers];
  ServerEntry loaded_[kMaxServers];  // the order read at load
  std::string loadedNumber_;         // ServerNumber as read at load, whole
  std::unique_ptr<platform::TlsContext> tls_;
  ConfigFindings findings_;
};

}  // namespace zcv
