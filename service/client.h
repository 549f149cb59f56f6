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
#include <optional>
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
  std::optional<std::string> configText;  // the file's bytes, in place of configPath
  std::optional<std::string> caPem;       // trusted certificates in place of CAFile
  TimeoutOverrides timeouts;              // the host's waits in place of the file's
  std::string logPath;                    // empty: no log file
  LogFile::Sink logSink = nullptr;        // set before the file is read
  void* logContext = nullptr;
  LogFile::Text logText = LogFile::Text::kAsLogged;  // of the file and the sink alike
  bool writeBack = false;  // write the rotated order back at close (a path only)
  std::time_t (*clock)() = platform::NowSeconds;                    // the failure gate's clock
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

  // What closing does once no call is left: run with the client's objects
  // released; may free the client itself.
  using Release = void (*)(void* context);

  // Refuses every call that starts from now on, stops the log's sink, waits
  // for the calls in flight (bounded by the longest a call may take, and not
  // at all when the calling thread is itself inside a call of this client),
  // then writes back if asked, releases the server list and log and runs
  // `release(context)`. When calls are still inside, all of that is left to
  // the last of them to leave, and Close returns at once. Returns at once
  // when the client is closed already.
  void Close(Release release = nullptr, void* context = nullptr) noexcept;

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
  // Every fatal finding, the ones about a line before the ones about the
  // file or a section as a whole, joined by "; " as long as `room` bytes
  // allow (the first always, cut to fit).
  std::string Refusal(std::size_t room = std::string::npos) const;

 private:
  std::chrono::milliseconds LongestCall() const;
  void ReleaseObjects() noexcept;
  static void ReleaseHandedOver(void* client);

  CallAdmission admission_;
  ServiceMutex mutex_;
  std::unique_ptr<LogFile> log_;
  std::unique_ptr<ServerList> servers_;
  FailureGate gate_;
  std::shared_ptr<platform::Resolver> resolver_;
  std::unique_ptr<HttpConnectionPool> pool_;
  std::unique_ptr<ServiceContext> context_;
  std::mutex closeMutex_;      // one Close at a time
  bool closed_ = false;        // under closeMutex_
  Release release_ = nullptr;  // set by Close
  void* releaseContext_ = nullptr;
};

}  // namespace zcv
