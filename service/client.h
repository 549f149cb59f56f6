// One client: a configuration file's server list, its log, failure gate,
// time-outs and TLS context, and the calls in flight on them. The exported
// C++ functions run on the default client; the C interface opens others.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "config/server_list.h"
#include "log/log_file.h"
#include "log/service_mutex.h"
#include "platform/clock.h"
#include "platform/resolver.h"
#include "service/call_admission.h"
#include "service/failure_gate.h"
#include "service/service_context.h"

namespace zcv {

struct ClientOptions {
  std::string configPath;
  std::string logPath;                            // empty: no log file
  bool writeBack = false;                         // write the rotated order back at close
  std::time_t (*clock)() = platform::NowSeconds;  // the failure gate's clock
  std::int64_t (*monotonicMs)() = platform::MonotonicMilliseconds;  // the call deadline's
  // Looks the servers' names up; null for the system's resolver, made with
  // the client. Tests pass one of their own (a fake, or the system's
  // pointed at their DNS server), as they pass the clocks.
  std::shared_ptr<platform::Resolver> resolver;
};

class Client {
 public:
  // Reads the configuration file now; a faulty one leaves the client
  // refusing every call (valid() false, Refusal() saying why).
  explicit Client(const ClientOptions& options);
  // Closes the client if that has not been done.
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Refuses every call that starts from now on, waits for the calls in
  // flight (bounded by the longest a call may take), writes back if asked
  // and releases the server list and log. Should calls still be inside when
  // the wait ends, their objects are left in place rather than destroyed
  // under them. Returns at once when the client is closed already.
  void Close() noexcept;

  // Whether Close found no call left inside: the client may then be freed.
  bool closedCleanly() const { return closedCleanly_.load(); }

  CallAdmission& admission() { return admission_; }
  // The objects of a call; only while an admitted call is inside or
  // before Close.
  ServiceContext& context() { return *context_; }
  LogFile& log() { return *log_; }

  bool valid() const { return servers_->valid(); }
  // Every problem found in the file at load, fatal or a warning, in the
  // order of its lines, each with its log line. Only before Close.
  const ConfigFindings& configFindings() const { return servers_->findings(); }
  // Why a client on this file could serve no call: the first fatal
  // finding, or for a list of no servers its warning; empty when it can.
  // The log line without its line end. Only before Close.
  std::string Refusal() const;

 private:
  std::chrono::milliseconds LongestCall() const;

  CallAdmission admission_;
  ServiceMutex mutex_;
  std::unique_ptr<LogFile> log_;
  std::unique_ptr<ServerList> servers_;
  FailureGate gate_;
  std::shared_ptr<platform::Resolver> resolver_;
  std::unique_ptr<HttpConnectionPool> pool_;
  std::unique_ptr<ServiceContext> context_;
  std::mutex closeMutex_;  // one Close at a time
  bool closed_ = false;    // under closeMutex_
  std::atomic<bool> closedCleanly_{false};
};

}  // namespace zcv
