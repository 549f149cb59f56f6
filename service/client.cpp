// The client object: built from its options, closed once.
#include "service/client.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace zcv {
namespace {

// The wait of Close beyond the longest call: the time to leave the frame.
constexpr std::chrono::milliseconds kCloseSlack{2000};
constexpr char kReasonSeparator[] = "; ";

// A log line without its line end and trailing blanks.
std::string WithoutLineEnd(std::string text) {
  const std::size_t end = text.find_last_not_of(" \r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

ServerListSource SourceOf(const ClientOptions& options) {
  ServerListSource source;
  source.path = options.configPath;
  source.text = options.configText;
  source.caPem = options.caPem;
  source.timeouts = options.timeouts;
  source.writeBack = options.writeBack;
  return source;
}

}  // namespace

Client::Client(const ClientOptions& options)
    : log_(std::make_unique<LogFile>(options.logPath, mutex_, nullptr, options.logText)) {
  // Before the file is read, so that the host sees its findings too.
  log_->SetSink(options.logSink, options.logContext);
  servers_ = std::make_unique<ServerList>(SourceOf(options), mutex_, *log_);
  resolver_ = options.resolver ? options.resolver : platform::MakeSystemResolver();
  pool_ = std::make_unique<HttpConnectionPool>(options.monotonicMs);
  context_.reset(new ServiceContext{mutex_, *log_, *servers_, gate_, servers_->timeouts(),
                                    options.clock, options.monotonicMs, resolver_.get(),
                                    pool_.get()});
}

Client::~Client() { Close(); }

std::string Client::Refusal(std::size_t room) const {
  const ConfigFindings& findings = servers_->findings();
  std::vector<const ConfigFinding*> fatal;
  for (const ConfigFinding& finding : findings) {
    if (finding.fatal) fatal.push_back(&finding);
  }
  // What one line says wrongly is the more telling: a mistyped key before
  // the key it leaves missing.
  std::stable_partition(fatal.begin(), fatal.end(),
                        [](const ConfigFinding* finding) { return !finding->general; });
  std::string reasons;
  for (const ConfigFinding* finding : fatal) {
    const std::string reason = WithoutLineEnd(finding->message);
    if (reasons.empty()) {
      reasons = reason;
    } else if (reasons.size() + sizeof kReasonSeparator - 1 + reason.size() < room) {
      reasons += kReasonSeparator + reason;
    } else {
      break;
    }
  }
  if (!reasons.empty() || (servers_->valid() && servers_->count() > 0)) return reasons;
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

void Client::Close(Release release, void* context) noexcept {
  try {
    std::unique_lock<std::mutex> lock(closeMutex_);
    if (closed_) return;
    closed_ = true;
    release_ = release;
    releaseContext_ = context;
    // No entry logged from now on reaches the host's function.
    log_->SetSink(nullptr, nullptr);
    const std::chrono::milliseconds limit = LongestCall();
    lock.unlock();
    // Handed over: the last call out releases, possibly on its own thread
    // inside the host's callback that closed the client.
    if (!admission_.CloseOrHandOver(limit, &Client::ReleaseHandedOver, this)) return;
  } catch (...) {
    // Taking closeMutex_ failed: the client stays as it is.
    return;
  }
  ReleaseObjects();
}

void Client::ReleaseHandedOver(void* client) { static_cast<Client*>(client)->ReleaseObjects(); }

void Client::ReleaseObjects() noexcept {
  try {
    context_.reset();
    pool_.reset();     // closes the kept connections
    servers_.reset();  // writes back, when asked
    log_.reset();
    resolver_.reset();
  } catch (...) {
    // Closing goes on whatever the write-back met; nothing escapes.
  }
  if (release_ != nullptr) release_(releaseContext_);
}

}  // namespace zcv
