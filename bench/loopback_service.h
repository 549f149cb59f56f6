// LoopbackService: the library's long-lived objects set up as a loaded
// module would, with one configured server: 127.0.0.1 at a given port,
// reached over plain HTTP or over TLS.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "service/service_context.h"

namespace zcv::bench {

class LoopbackService {
 public:
  // Writes the INI file and the log into a fresh temporary folder and makes
  // the context active, so that the exported operations use it. With
  // `caPem`, the server is reached over TLS with that CA alone trusted.
  explicit LoopbackService(std::uint16_t port, const std::string& caPem = "");
  // Deactivates the context and removes the folder.
  ~LoopbackService();
  // Makes this service's context the active one again.
  void Activate();
  LoopbackService(const LoopbackService&) = delete;
  LoopbackService& operator=(const LoopbackService&) = delete;

 private:
  std::filesystem::path dir_;
  ServiceMutex mutex_;
  std::unique_ptr<LogFile> log_;
  std::unique_ptr<ServerList> servers_;
  FailureGate gate_;
  std::unique_ptr<ServiceContext> context_;
};

}  // namespace zcv::bench
