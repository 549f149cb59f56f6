// A service wired to loopback servers: a temporary directory with an INI
// file and a log file, a client on them made the default one, and a fake
// clock.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "service/client.h"

namespace zcv::test {

// The clock every fixture's context reads; tests move it by hand.
extern std::atomic<std::time_t> fakeNow;

class ServiceFixture : public ::testing::Test {
 protected:
  ServiceFixture();
  ~ServiceFixture() override;

  // Writes an INI file listing 127.0.0.1 with these ports, in order, and
  // the time-outs of timeouts_, and builds the service on it.
  void StartService(const std::vector<std::uint16_t>& ports);
  // Builds the service on an INI file of the given text, with the
  // time-outs it sets.
  void StartServiceWithIni(const std::string& iniText);
  void StopService();

  std::string LogText() const;
  // The log's messages without their time stamps, in order.
  std::vector<std::string> LogMessages() const;
  ServerEntry CurrentServer() const { return client_->context().servers.Current(); }
  FailureGate& gate() { return client_->context().gate; }
  Client& client() { return *client_; }

  std::string dir_;
  // Written as keys by the next StartService; CallTimeout only when set.
  AttemptTimeouts timeouts_{1, 1, 1};
  std::int64_t (*monotonicClock_)() = platform::MonotonicMilliseconds;  // for the next start
  std::shared_ptr<platform::Resolver> resolver_;  // for the next start; null: the system's

 private:
  std::unique_ptr<Client> client_;
};

// Sets TZ for the life of the object and restores it afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();

 private:
  std::string saved_;
  bool hadZone_ = false;
};

// An XML reply document with the given elements inside <Reply>.
std::string Reply(const std::string& elements);

}  // namespace zcv::test
