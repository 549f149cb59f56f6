// Service fixture: temporary files and a default client for one test.
#include "service_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "service/default_client.h"

namespace zcv::test {

std::atomic<std::time_t> fakeNow{1700000000};

namespace {
std::time_t FakeClock() { return fakeNow.load(); }
constexpr char kTimeStampPrefix[] = "20231114.22:13:20 : ";  // not asserted; length only
}  // namespace

ServiceFixture::ServiceFixture() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zcv-service-XXXXXX").string();
  dir_ = mkdtemp(pattern.data());
  fakeNow = 1700000000;
}

ServiceFixture::~ServiceFixture() {
  StopService();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void ServiceFixture::StartService(const std::vector<std::uint16_t>& ports) {
  std::ostringstream ini;
  ini << "[ServerSet]\nServerNumber=" << ports.size() << "\n";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    ini << "ServerIP" << i << "=127.0.0.1\nServerPort" << i << "=" << ports[i] << "\n";
  }
  ini << "ConnectTimeout=" << timeouts_.connect << "\nSendTimeout=" << timeouts_.send
      << "\nReceiveTimeout=" << timeouts_.receive << "\n";
  if (timeouts_.call != kNoCallTimeout) ini << "CallTimeout=" << timeouts_.call << "\n";
  StartServiceWithIni(ini.str());
}

void ServiceFixture::StartServiceWithIni(const std::string& iniText) {
  StopService();
  std::ofstream(dir_ + "/cfgfile.ini") << iniText;
  ClientOptions options;
  options.configPath = dir_ + "/cfgfile.ini";
  options.logPath = dir_ + "/logfile.txt";
  options.writeBack = true;
  options.clock = &FakeClock;
  options.monotonicMs = monotonicClock_;
  options.resolver = resolver_;
  client_ = std::make_unique<Client>(options);
  SetDefaultClient(client_.get());
}

void ServiceFixture::StopService() {
  SetDefaultClient(nullptr);
  client_.reset();
}

std::string ServiceFixture::LogText() const {
  // Text mode: on Windows the log's CR LF line ends read as line feeds.
  std::ifstream in(dir_ + "/logfile.txt");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> ServiceFixture::LogMessages() const {
  // Entries are "<17-byte stamp> : <message> "; messages end with "\n", so
  // each later entry starts with the blank left by the one before.
  std::vector<std::string> messages;
  const std::string text = LogText();
  const std::size_t stamp = sizeof kTimeStampPrefix - 1;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!messages.empty() && text[pos] == ' ') ++pos;
    if (pos + stamp >= text.size()) break;
    std::size_t end = text.find('\n', pos + stamp);
    if (end == std::string::npos) end = text.size() - 1;
    messages.push_back(text.substr(pos + stamp, end + 1 - pos - stamp));
    pos = end + 1;
  }
  return messages;
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* old = std::getenv("TZ")) {
    saved_ = old;
    hadZone_ = true;
  }
  setenv("TZ", zone, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (hadZone_) {
    setenv("TZ", saved_.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

std::string Reply(const std::string& elements) {
  return "<?xml version=\"1.0\"?><Reply>" + elements + "</Reply>";
}

}  // namespace zcv::test
