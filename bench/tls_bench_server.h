// TlsBenchServer: BenchServer's fixed reply behind TLS, for the TLS
// comparison. It counts handshakes and resumed handshakes, so that a run
// can tell how many of its calls really resumed.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace zcv::bench {

struct TlsBenchOptions {
  std::string certificatePem;
  std::string keyPem;
  int maxVersion = TLS1_3_VERSION;  // TLS1_2_VERSION: a TLS 1.2 server
  bool resumption = true;           // false: every handshake is a full one
  // Answers request after request on a connection until one carries
  // "Connection: close" or the client closes (the reply should then not
  // ask for "close" itself).
  bool keepAlive = false;
};

class TlsBenchServer {
 public:
  // Listens on 127.0.0.1 with `workers` threads: each makes the handshake,
  // reads one request head, sends `reply`, sends its TLS close and closes.
  TlsBenchServer(std::string reply, int workers, const TlsBenchOptions& options);
  ~TlsBenchServer();
  TlsBenchServer(const TlsBenchServer&) = delete;
  TlsBenchServer& operator=(const TlsBenchServer&) = delete;

  std::uint16_t port() const { return port_; }
  int handshakes() const { return handshakes_; }
  int resumed() const { return resumed_; }

 private:
  void Serve();
  void Answer(int socket);

  std::string reply_;
  bool keepAlive_ = false;
  SSL_CTX* ctx_ = nullptr;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> handshakes_{0};
  std::atomic<int> resumed_{0};
  std::vector<std::thread> workers_;
};

}  // namespace zcv::bench
