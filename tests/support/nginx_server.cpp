// nginx runs in the foreground as one process (no master, no daemon), with
// its prefix, configuration, logs and temporary paths in the test's folder.
#include "tests/support/nginx_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace zcv::test {
namespace {

constexpr const char* kNginx = "/usr/sbin/nginx";
constexpr auto kStartLimit = std::chrono::seconds(5);
// The port is free when chosen but may be taken before nginx binds it.
constexpr int kStartAttempts = 3;
constexpr auto kStopLimit = std::chrono::seconds(3);
constexpr auto kLogLimit = std::chrono::seconds(2);
constexpr auto kPoll = std::chrono::milliseconds(10);
// The end of nginx's error log that a failure shows.
constexpr std::streamoff kShownLogBytes = 4096;

// A loopback port free a moment ago (nginx binds it next).
std::uint16_t FreePort() {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  std::uint16_t port = 0;
  if (socket >= 0 && ::bind(socket, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (socket >= 0) ::close(socket);
  return port;
}

bool Listening(std::uint16_t port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(socket);
  return connected;
}

// The last few KiB of nginx's error log, for the failure message.
std::string LogTail(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return "(no error log)";
  const std::streamoff size = in.tellg();
  in.seekg(size > kShownLogBytes ? size - kShownLogBytes : 0);
  std::string tail((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return tail.empty() ? "(error log empty)" : tail;
}

std::string Config(const std::filesystem::path& dir, std::uint16_t port,
                   const NginxOptions& options) {
  const std::string d = dir.string();
  std::ostringstream config;
  config << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << d << "/nginx.pid;\n"
         << "error_log " << d << "/error.log;\nevents { worker_connections 64; }\nhttp {\n"
         << "  log_format resumed '$ssl_session_reused $connection';\n"
         << "  access_log " << d << "/access.log resumed;\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
    config << "  " << temp << "_temp_path " << d << "/" << temp << ";\n";
  }
  config << "  server {\n    listen 127.0.0.1:" << port << " ssl;\n"
         << "    ssl_certificate " << d << "/cert.pem;\n    ssl_certificate_key " << d
         << "/key.pem;\n    ssl_protocols " << options.protocols << ";\n"
         << "    ssl_session_cache shared:zcv:1m;\n"
         << "    ssl_session_tickets " << (options.tickets ? "on" : "off") << ";\n"
         << "    location / { default_type text/xml; return 200 '" << options.body << "'; }\n"
         << "  }\n}\n";
  return config.str();
}

}  // namespace

NginxServer::NginxServer(const NginxOptions& options) {
  if (::access(kNginx, X_OK) != 0) {
    missing_ = std::string(kNginx) +
               " is not installed: install the Debian package nginx (tools/install-deps.sh does)";
    return;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "zcv-nginx-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    failure_ = "no temporary folder for nginx";
    return;
  }
  dir_ = pattern;
  for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
    failure_.clear();
    if (Start(options)) break;
    if (LogTail(dir_ / "error.log").find("Address already in use") == std::string::npos) break;
  }
  if (!failure_.empty()) failure_ += "\nnginx error log:\n" + LogTail(dir_ / "error.log");
}

bool NginxServer::Start(const NginxOptions& options) {
  std::error_code ignored;
  std::filesystem::remove(dir_ / "error.log", ignored);
  port_ = FreePort();
  std::ofstream(dir_ / "cert.pem") << options.credential.certificatePem;
  std::ofstream(dir_ / "key.pem") << options.credential.keyPem;
  std::ofstream(dir_ / "nginx.conf") << Config(dir_, port_, options);
  const std::string prefix = dir_.string() + "/";
  const std::string conf = prefix + "nginx.conf";
  const std::string errors = prefix + "error.log";
  std::vector<char*> argv = {const_cast<char*>(kNginx),         const_cast<char*>("-p"),
                             const_cast<char*>(prefix.c_str()), const_cast<char*>("-c"),
                             const_cast<char*>(conf.c_str()),   const_cast<char*>("-e"),
                             const_cast<char*>(errors.c_str()), nullptr};
  if (::posix_spawn(&pid_, kNginx, nullptr, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
    failure_ = "nginx could not be started";
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Listening(port_)) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      failure_ = WIFEXITED(status)
                     ? "nginx exited with status " + std::to_string(WEXITSTATUS(status))
                     : "nginx ended by signal " + std::to_string(WTERMSIG(status));
      return false;
    }
    std::this_thread::sleep_for(kPoll);
  }
  failure_ = "nginx did not listen on port " + std::to_string(port_) + " within 5 s";
  Stop();
  return false;
}

void NginxServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(kPoll);
  }
  pid_ = -1;
}

NginxServer::~NginxServer() {
  Stop();
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::optional<std::vector<std::string>> NginxServer::Logged(int count) const {
  const auto deadline = std::chrono::steady_clock::now() + kLogLimit;
  for (;;) {
    std::ifstream in(dir_ / "access.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() >= static_cast<std::size_t>(count)) return lines;
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(kPoll);
  }
}

// Each line is "<r or .> <connection serial number>".
int NginxServer::ResumedOf(int count) const {
  const auto lines = Logged(count);
  if (!lines) return -1;
  int resumed = 0;
  for (const std::string& line : *lines) resumed += line.rfind("r ", 0) == 0 ? 1 : 0;
  return resumed;
}

int NginxServer::ConnectionsOf(int count) const {
  const auto lines = Logged(count);
  if (!lines) return -1;
  std::set<std::string> connections;
  for (const std::string& line : *lines) connections.insert(line.substr(line.find(' ') + 1));
  return static_cast<int>(connections.size());
}

}  // namespace zcv::test
