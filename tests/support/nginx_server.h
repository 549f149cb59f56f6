// NginxServer: nginx started for one test, in a temporary folder of its own,
// answering every request on a loopback port over TLS with one fixed body,
// and logging whether each request's handshake resumed a session.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/tls_test_pki.h"

namespace zcv::test {

struct NginxOptions {
  Credential credential;
  std::string protocols;  // nginx's ssl_protocols, e.g. "TLSv1.2"
  bool tickets = true;    // false: sessions resume by session ID alone
  std::string body;       // the reply to every request
};

class NginxServer {
 public:
  // Starts nginx and waits (bounded) until it listens; missing() says when
  // nginx is not installed, failure() when it is but did not start.
  explicit NginxServer(const NginxOptions& options);
  // Stops nginx (bounded; killed if it does not end) and removes the folder.
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // One line on what to install when nginx is not installed, else empty.
  const std::string& missing() const { return missing_; }
  // Why an installed nginx is not serving, with its error log; empty when
  // it serves.
  const std::string& failure() const { return failure_; }
  std::uint16_t port() const { return port_; }
  // Waits (bounded) until `count` requests are logged, then gives how many
  // of the logged requests ran on a resumed session; -1 if fewer were logged.
  int ResumedOf(int count) const;
  // Waits as ResumedOf, then gives how many connections the logged
  // requests came on; -1 if fewer were logged.
  int ConnectionsOf(int count) const;

 private:
  // The access log's lines once there are `count` (bounded wait).
  std::optional<std::vector<std::string>> Logged(int count) const;
  bool Start(const NginxOptions& options);
  // Ends nginx (bounded: killed if it does not end on SIGTERM).
  void Stop();

  std::filesystem::path dir_;
  std::uint16_t port_ = 0;
  pid_t pid_ = -1;
  std::string missing_;
  std::string failure_;
};

}  // namespace zcv::test
