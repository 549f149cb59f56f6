// NginxServer: nginx started for one test, in a temporary folder of its own,
// answering every request on a loopback port over TLS with one fixed body,
// and logging whether each request's handshake resumed a session.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

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
  // Starts nginx and waits (bounded) until it listens; when nginx is not
  // installed or does not start, unavailable() says why.
  explicit NginxServer(const NginxOptions& options);
  // Stops nginx (bounded; killed if it does not end) and removes the folder.
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  // Empty when nginx is serving; otherwise one line on why not.
  const std::string& unavailable() const { return unavailable_; }
  std::uint16_t port() const { return port_; }
  // Waits (bounded) until `count` requests are logged, then gives how many
  // of the logged requests ran on a resumed session; -1 if fewer were logged.
  int ResumedOf(int count) const;

 private:
  bool Start(const NginxOptions& options);

  std::filesystem::path dir_;
  std::uint16_t port_ = 0;
  pid_t pid_ = -1;
  std::string unavailable_;
};

}  // namespace zcv::test
