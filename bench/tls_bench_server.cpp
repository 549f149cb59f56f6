// Blocking sockets with a receive time-out, as BenchServer; OpenSSL on the
// socket itself, with SIGPIPE blocked in the workers.
#include "bench/tls_bench_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/pem.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace zcv::bench {
namespace {

constexpr int kBacklog = 128;
constexpr long kWaitSeconds = 5;
constexpr unsigned char kSessionContext[] = "zcv-bench";

[[noreturn]] void Die(const char* what) {
  throw std::runtime_error(std::string("TlsBenchServer: ") + what);
}

void LoadCredential(SSL_CTX* ctx, const TlsBenchOptions& options) {
  BIO* certificate = BIO_new_mem_buf(options.certificatePem.data(),
                                     static_cast<int>(options.certificatePem.size()));
  BIO* key = BIO_new_mem_buf(options.keyPem.data(), static_cast<int>(options.keyPem.size()));
  X509* x509 = PEM_read_bio_X509(certificate, nullptr, nullptr, nullptr);
  EVP_PKEY* pkey = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
  const bool loaded = x509 != nullptr && pkey != nullptr &&
                      SSL_CTX_use_certificate(ctx, x509) == 1 &&
                      SSL_CTX_use_PrivateKey(ctx, pkey) == 1;
  X509_free(x509);
  EVP_PKEY_free(pkey);
  BIO_free(certificate);
  BIO_free(key);
  if (!loaded) Die("cannot load the credential");
}

}  // namespace

TlsBenchServer::TlsBenchServer(std::string reply, int workers, const TlsBenchOptions& options)
    : reply_(std::move(reply)), keepAlive_(options.keepAlive) {
  ctx_ = SSL_CTX_new(TLS_server_method());
  if (ctx_ == nullptr) Die("cannot make the context");
  LoadCredential(ctx_, options);
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  SSL_CTX_set_max_proto_version(ctx_, options.maxVersion);
  SSL_CTX_set_session_id_context(ctx_, kSessionContext, sizeof kSessionContext);
  if (!options.resumption) {
    SSL_CTX_set_session_cache_mode(ctx_, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_options(ctx_, SSL_OP_NO_TICKET);
    SSL_CTX_set_num_tickets(ctx_, 0);
  }
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, kBacklog) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener_ >= 0) ::close(listener_);
    SSL_CTX_free(ctx_);
    Die("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  for (int i = 0; i < workers; ++i) workers_.emplace_back(&TlsBenchServer::Serve, this);
}

TlsBenchServer::~TlsBenchServer() {
  stopping_ = true;
  ::shutdown(listener_, SHUT_RDWR);
  for (std::thread& worker : workers_) worker.join();
  ::close(listener_);
  SSL_CTX_free(ctx_);
}

void TlsBenchServer::Serve() {
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  pthread_setname_np(pthread_self(), "tls-server");
  while (!stopping_) {
    const int socket = ::accept(listener_, nullptr, nullptr);
    if (socket < 0) continue;
    Answer(socket);
    ::close(socket);
  }
}

void TlsBenchServer::Answer(int socket) {
  const timeval wait{kWaitSeconds, 0};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  SSL* ssl = SSL_new(ctx_);
  if (ssl == nullptr) return;
  SSL_set_fd(ssl, socket);
  if (SSL_accept(ssl) == 1) {
    ++handshakes_;
    if (SSL_session_reused(ssl) == 1) ++resumed_;
    for (;;) {
      char head[4096];
      std::size_t size = 0;
      std::size_t got = 0;
      while (size < sizeof head && SSL_read_ex(ssl, head + size, sizeof head - size, &got) == 1) {
        size += got;
        if (size >= 4 && std::memcmp(head + size - 4, "\r\n\r\n", 4) == 0) break;
      }
      std::size_t written = 0;
      if (size < 4 || SSL_write_ex(ssl, reply_.data(), reply_.size(), &written) != 1) break;
      const bool close = !keepAlive_ || std::string_view(head, size).find("Connection: close") !=
                                            std::string_view::npos;
      if (close) {
        SSL_shutdown(ssl);
        break;
      }
    }
  }
  SSL_free(ssl);
}

}  // namespace zcv::bench
