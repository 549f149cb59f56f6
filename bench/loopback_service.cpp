// The INI file names the one server; the log stays empty unless a call fails.
#include "bench/loopback_service.h"

#include <unistd.h>

#include <fstream>
#include <string>

#include "service/default_client.h"

namespace zcv::bench {

LoopbackService::LoopbackService(std::uint16_t port, const std::string& caPem,
                                 const std::string& host, const std::string& serverSetKeys)
    : dir_(std::filesystem::temp_directory_path() /
           ("zcv-bench-" + std::to_string(::getpid()) + "-" + std::to_string(port))) {
  std::filesystem::create_directories(dir_);
  const std::filesystem::path ini = dir_ / "cfgfile.ini";
  std::ofstream out(ini);
  out << "[ServerSet]\nServerNumber=1\nServerIP0=" << host << "\nServerPort0=" << port << "\n"
      << serverSetKeys;
  if (!caPem.empty()) {
    std::ofstream(dir_ / "ca.pem") << caPem;
    out << "[TLS]\nEnabled=1\nCAFile=" << (dir_ / "ca.pem").string() << "\n";
  }
  out.close();
  ClientOptions options;
  options.configPath = ini.string();
  options.logPath = (dir_ / "logfile.txt").string();
  client_ = std::make_unique<Client>(options);
  SetDefaultClient(client_.get());
}

void LoopbackService::Activate() { SetDefaultClient(client_.get()); }

LoopbackService::~LoopbackService() {
  SetDefaultClient(nullptr);
  client_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace zcv::bench
