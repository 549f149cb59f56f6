// The client object: built from its options, closed once.
#include "service/client.h"

#include <algorithm>

namespace zcv {
namespace {

// The wait of Close beyond the longest call: the time to leave the frame.
constexpr std::chrono::milliseconds kCloseSlack{2000};

// A log line without its line end and trailing blanks.
std::string WithoutLineEnd(std::string text) {
  const std::size_t end = text.find_last_not_of(" \r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

}  // namespace

Client::Client(const ClientOptions& options)
    : log_(std::make_unique<LogFile>(options.logPath, mutex_)) {
  servers_ = std::make_unique<ServerList>(options.configPath, mutex_, *log_, options.writeBack);
  resolver_ = options.resolver ? options.resolver : platform::MakeSystemResolver();
  pool_ = std::make_unique<HttpConnectionPool>(options.monotonicMs);
  context_.reset(new ServiceContext{mutex_, *log_, *servers_, gate_, servers_->timeouts(),
                                    options.clock, options.monotonicMs, resolver_.get(),
                                    pool_.get()});
}

Client::~Client() { Close(); }

std::string Client::Refusal() const {
  const ConfigFindings& findings = servers_->findings();
  for (const ConfigFinding& finding : findings) {
    if (finding.fatal) return WithoutLineEnd(finding.message);
  }
  if (servers_->valid() && servers_->count() > 0) return "";
  for (const ConfigFinding& finding : findings) {
    if (finding.message.find("ServerNumber") != std::string::npos) {
      return WithoutLineEnd(finding.message);
    }
  }
  return "ServerNumber names no server";
}

std::chrono::milliseconds Client::LongestCall() const {
  const AttemptTimeouts& t = servers_->timeouts();
  const long long attemptSeconds = static_cast<long long>(t.connect) + t.send + t.receive;
  const long long seconds = t.call != kNoCallTimeout
                                ? std::min<long long>(t.call, attemptSeconds * kMaxServers)
                                : attemptSeconds * std::max(servers_->count(), 1);
  return std::chrono::seconds(seconds) + kCloseSlack;
}

void Client::Close() noexcept {
  try {
    std::lock_guard<std::mutex> lock(closeMutex_);
    if (closed_) return;
    closed_ = true;
    if (!admission_.CloseAndWait(LongestCall())) {
      // A call is still inside: its objects stay, never freed.
      (void)context_.release();
      (void)servers_.release();
      (void)log_.release();
      // The resolver too: one more owner that is never given up.
      (void)new std::shared_ptr<platform::Resolver>(std::move(resolver_));
      (void)pool_.release();
      return;
    }
    context_.reset();
    pool_.reset();     // closes the kept connections
    servers_.reset();  // writes back, when asked
    log_.reset();
    resolver_.reset();
    closedCleanly_ = true;
  } catch (...) {
    // Closing goes on whatever the write-back met; nothing escapes.
  }
}

}  // namespace zcv
