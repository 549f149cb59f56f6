// LoopbackService: a default client set up as a loaded module would, with one
// configured server: 127.0.0.1 at a given port, reached over plain HTTP or
// over TLS.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "service/client.h"

namespace zcv::bench {

class LoopbackService {
 public:
  // Writes the INI file and the log into a fresh temporary folder and makes
  // a client on them the default one, so that the exported operations use
  // it. With `caPem`, the server is reached over TLS with that CA alone
  // trusted. `host` is the server's ServerIP0: an address, or a name the
  // resolver answers (the hosts file's "localhost").
  // `serverSetKeys` are added to [ServerSet] ("KeepAlive=30\n").
  explicit LoopbackService(std::uint16_t port, const std::string& caPem = "",
                           const std::string& host = "127.0.0.1",
                           const std::string& serverSetKeys = "");
  // Closes the client and removes the folder.
  ~LoopbackService();
  // Makes this service's client the default one again.
  void Activate();
  LoopbackService(const LoopbackService&) = delete;
  std::string configPath() const { return (dir_ / "cfgfile.ini").string(); }
  LoopbackService& operator=(const LoopbackService&) = delete;

 private:
  std::filesystem::path dir_;
  std::unique_ptr<Client> client_;
};

}  // namespace zcv::bench
