// HTTP serving of the simulator on top of cpp-httplib, with connection
// faults injected before the request is read (before the TLS handshake when
// serving TLS).
#include "zcvsim/sim_server.h"

#include <httplib.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <csignal>

#include "zcvsim/pages.h"
#include "zcvsim/socket_stream.h"

namespace zcv::sim {
namespace {

constexpr int kIoTimeoutMs = 5000;
// Bound on waiting for the serving thread to accept connections.
constexpr auto kStartWait = std::chrono::seconds(5);
constexpr const char* kPageSuffix = ".asp";

// The Result of a reply document, or the HTTP status of anything else.
std::string ResultOf(const PageReply& reply) {
  std::size_t begin = reply.body.find("<Result>");
  std::size_t end = reply.body.find("</Result>");
  if (reply.http_status != 200 || begin == std::string::npos || end == std::string::npos) {
    return "HTTP " + std::to_string(reply.http_status);
  }
  begin += std::char_traits<char>::length("<Result>");
  return reply.body.substr(begin, end - begin);
}

// Bounds every blocking TLS read and write, the handshake included.
void SetIoTimeouts(int sock) {
  timeval limit{kIoTimeoutMs / 1000, (kIoTimeoutMs % 1000) * 1000};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

}  // namespace

struct SimServer::Tls {
  SSL_CTX* ctx = nullptr;
  ~Tls() { SSL_CTX_free(ctx); }
};

bool ShareCounter::Next(double share) {
  if (share <= 0) return false;
  std::uint64_t n = count_.fetch_add(1);
  return std::floor(static_cast<double>(n + 1) * share) >
         std::floor(static_cast<double>(n) * share);
}

// httplib's server with connection handling of our own: cpp-httplib offers
// no hook between accept and read, so one connection is processed here
// (the library always asks for "Connection: close").
class SimServer::Http : public httplib::Server {
 public:
  explicit Http(SimServer& owner) : owner_(owner) {}

 private:
  bool process_and_close_socket(socket_t sock) override {
    int delay_ms = 0;
    switch (owner_.NextConnectionFault(&delay_ms)) {
      case ConnectionFault::kRefuse:
        CloseSocket(sock);
        return true;
      case ConnectionFault::kReset:
        ResetSocket(sock);
        return true;
      case ConnectionFault::kNone:
        break;
    }
    if (delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    if (owner_.tls_) return ProcessTls(sock);
    SocketStream stream(sock, kIoTimeoutMs);
    bool closed = false;
    bool ok = process_request(stream, true, closed, nullptr);
    CloseSocket(sock);
    return ok;
  }

  // The same processing over TLS, ended with the server's TLS close.
  bool ProcessTls(socket_t sock) {
    // OpenSSL writes with plain write(): a client gone early must give
    // EPIPE on this thread rather than end the simulator.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    SetIoTimeouts(sock);
    SSL* ssl = SSL_new(owner_.tls_->ctx);
    bool ok = ssl != nullptr && SSL_set_fd(ssl, sock) == 1 && SSL_accept(ssl) == 1;
    if (ok) {
      SocketStream stream(sock, kIoTimeoutMs, ssl);
      bool closed = false;
      ok = process_request(stream, true, closed, nullptr);
      SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ERR_clear_error();
    CloseSocket(sock);
    return ok;
  }

  SimServer& owner_;
};

SimServer::SimServer(TokenService& service) : service_(service) {}

SimServer::~SimServer() { Stop(); }

bool SimServer::SetTls(const std::string& certificate_file, const std::string& key_file,
                       std::string* error) {
  auto tls = std::make_unique<Tls>();
  tls->ctx = SSL_CTX_new(TLS_server_method());
  if (tls->ctx == nullptr) {
    *error = "cannot make a TLS context";
  } else if (SSL_CTX_use_certificate_chain_file(tls->ctx, certificate_file.c_str()) != 1) {
    *error = "cannot load the certificate " + certificate_file;
  } else if (SSL_CTX_use_PrivateKey_file(tls->ctx, key_file.c_str(), SSL_FILETYPE_PEM) != 1 ||
             SSL_CTX_check_private_key(tls->ctx) != 1) {
    *error = "cannot load the key " + key_file + " for that certificate";
  } else {
    SSL_CTX_set_min_proto_version(tls->ctx, TLS1_2_VERSION);
    tls_ = std::move(tls);
    return true;
  }
  ERR_clear_error();
  return false;
}

void SimServer::SetFaults(const FaultPlan& faults) {
  std::lock_guard<std::mutex> lock(faults_mutex_);
  faults_ = faults;
}

FaultPlan SimServer::Faults() const {
  std::lock_guard<std::mutex> lock(faults_mutex_);
  return faults_;
}

SimServer::ConnectionFault SimServer::NextConnectionFault(int* delay_ms) {
  ++connections_;
  FaultPlan f = Faults();
  *delay_ms = f.delay_ms;
  if (refuse_.Next(f.refuse_share)) return ConnectionFault::kRefuse;
  if (reset_.Next(f.reset_share)) return ConnectionFault::kReset;
  return ConnectionFault::kNone;
}

int SimServer::Start(const std::string& host, int port) {
  Stop();
  http_ = std::make_unique<Http>(*this);
  http_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    ++requests_;
    PageReply reply{404, "unknown page\n"};
    std::string path = req.path;
    std::size_t suffix = std::char_traits<char>::length(kPageSuffix);
    if (path.size() > suffix + 1 && path.compare(path.size() - suffix, suffix, kPageSuffix) == 0) {
      Query query;
      for (const auto& [key, value] : req.params) query.emplace(key, value);
      reply = HandlePage(service_, path.substr(1, path.size() - suffix - 1), query);
    }
    res.status = reply.http_status;
    if (log_) log_(req.path + " -> " + ResultOf(reply));
    FaultPlan f = Faults();
    if (malformed_.Next(f.malformed_share)) {
      res.set_content(reply.body.substr(0, reply.body.size() / 2), "text/xml");
    } else if (truncated_.Next(f.truncated_share)) {
      auto body = std::make_shared<std::string>(reply.body);
      res.set_content_provider(body->size(), "text/xml",
                               [body](size_t, size_t, httplib::DataSink& sink) {
                                 sink.write(body->data(), body->size() / 2);
                                 return false;  // ends the connection short
                               });
    } else {
      res.set_content(reply.body, reply.http_status == 200 ? "text/xml" : "text/plain");
    }
  });
  int bound =
      port == 0 ? http_->bind_to_any_port(host) : (http_->bind_to_port(host, port) ? port : -1);
  if (bound < 0) {
    http_.reset();
    return -1;
  }
  thread_ = std::thread([this] { http_->listen_after_bind(); });
  // stop() is ignored until the server runs, so wait for it (bounded).
  auto deadline = std::chrono::steady_clock::now() + kStartWait;
  while (!http_->is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return bound;
}

void SimServer::Stop() {
  if (!http_) return;
  http_->stop();
  if (thread_.joinable()) thread_.join();
  http_.reset();
}

}  // namespace zcv::sim
