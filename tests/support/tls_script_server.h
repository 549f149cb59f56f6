// TlsScriptServer: the loopback ScriptServer behind TLS. Each connection's
// handshake is made here, then the plain bytes are relayed to and from an
// inner ScriptServer, so the same scripts serve both. The end of a script
// becomes the server's TLS close, or a bare TCP close when asked. It can
// also front any server already listening on loopback.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tests/support/accept_loop.h"
#include "tests/support/script_server.h"
#include "tests/support/tls_test_pki.h"

namespace zcv::test {

struct TlsServerOptions {
  Credential credential;
  int minVersion = 0;  // OpenSSL protocol version constants; 0: no limit
  int maxVersion = 0;
  bool closeNotify = true;  // false: end each reply without the TLS close
  bool resumption = true;   // false: no session is ever resumed
  bool tickets = true;      // false: TLS 1.2 resumes by session ID alone
};

class TlsScriptServer {
 public:
  TlsScriptServer(Script script, const TlsServerOptions& options);
  // Relays to the server listening on loopback port `upstream` instead.
  TlsScriptServer(std::uint16_t upstream, const TlsServerOptions& options);
  ~TlsScriptServer();
  TlsScriptServer(const TlsScriptServer&) = delete;
  TlsScriptServer& operator=(const TlsScriptServer&) = delete;

  std::uint16_t port() const { return loop_.port(); }
  // The inner server's view: request heads as received in clear.
  const ScriptServer& plain() const { return *inner_; }
  int accepted() const { return accepted_; }
  int handshakes() const { return handshakes_; }
  int resumed() const { return resumed_; }
  // Client hellos that offered a ticket (TLS 1.2) or a pre-shared key (1.3).
  int offered() const { return offered_; }
  // Ends every connection and joins all threads. Idempotent.
  void Stop();

 private:
  struct Context;
  void Start();
  void Serve(int socket);
  void JoinFinished(std::vector<std::thread>& workers);

  std::optional<ScriptServer> inner_;
  std::uint16_t upstream_ = 0;
  std::unique_ptr<Context> context_;
  TlsServerOptions options_;
  std::mutex mutex_;
  // Workers done serving, joined at the next accept so that a long run
  // does not pile up finished threads.
  std::vector<std::thread::id> finished_;
  std::atomic<int> accepted_{0};
  std::atomic<int> handshakes_{0};
  std::atomic<int> resumed_{0};
  std::atomic<int> offered_{0};
  // Last, so that it is gone before anything its threads use.
  AcceptLoop loop_{"TlsScriptServer", mutex_};
};

}  // namespace zcv::test
