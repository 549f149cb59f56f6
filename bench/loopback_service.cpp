// The INI file names the one server; the log stays empty unless a call fails.
#include "bench/loopback_service.h"

#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/clock.h"

namespace zcv::bench {

LoopbackService::LoopbackService(std::uint16_t port, const std::string& caPem)
    : dir_(std::filesystem::temp_directory_path() /
           ("zcv-bench-" + std::to_string(::getpid()) + "-" + std::to_string(port))) {
  std::filesystem::create_directories(dir_);
  const std::filesystem::path ini = dir_ / "cfgfile.ini";
  std::ofstream out(ini);
  out << "[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=" << port << "\n";
  if (!caPem.empty()) {
    std::ofstream(dir_ / "ca.pem") << caPem;
    out << "[TLS]\nEnabled=1\nCAFile=" << (dir_ / "ca.pem").string() << "\n";
  }
  out.close();
  log_ = std::make_unique<LogFile>((dir_ / "logfile.txt").string(), mutex_);
  servers_ = std::make_unique<ServerList>(ini.string(), mutex_, *log_);
  context_ = std::make_unique<ServiceContext>(
      ServiceContext{mutex_, *log_, *servers_, gate_, AttemptTimeouts{}, platform::NowSeconds});
  SetActiveContext(context_.get());
}

void LoopbackService::Activate() { SetActiveContext(context_.get()); }

LoopbackService::~LoopbackService() {
  SetActiveContext(nullptr);
  context_.reset();
  servers_.reset();  // writes its list out before the folder goes
  log_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace zcv::bench
