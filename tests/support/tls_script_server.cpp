// One thread per connection, started by the accept loop it shares with
// ScriptServer; each connection thread makes the handshake, connects to the inner server
// and relays until either side ends. Every wait also watches the wake-up
// that Stop() signals. Linux only: the Windows tests reach it from Linux, across Wine.
#include "tests/support/tls_script_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include "tests/support/test_socket.h"

namespace zcv::test {
namespace {

using net::Clock;
using net::Readiness;
using net::Wait;

constexpr auto kHandshakeLimit = std::chrono::seconds(2);
constexpr auto kDrainLimit = std::chrono::seconds(1);
constexpr std::size_t kRelayBytes = 4096;
constexpr unsigned char kSessionContext[] = "zcv-test";

[[noreturn]] void Die(const char* what) {
  throw std::runtime_error(std::string("TlsScriptServer: ") + what + " failed");
}

// The readiness an unfinished SSL call waits for; kNone when it failed.
Readiness Needed(SSL* ssl, int result) {
  switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ:
      return Readiness::kReadable;
    case SSL_ERROR_WANT_WRITE:
      return Readiness::kWritable;
    default:
      return Readiness::kNone;
  }
}

bool Handshake(SSL* ssl, int socket, int wake) {
  const Clock::time_point deadline = Clock::now() + kHandshakeLimit;
  for (;;) {
    const int result = SSL_accept(ssl);
    if (result == 1) return true;
    const Readiness readiness = Needed(ssl, result);
    if (readiness == Readiness::kNone ||
        net::WaitFor(socket, readiness, wake, deadline) != Wait::kReady) {
      return false;
    }
  }
}

bool TlsWriteAll(SSL* ssl, int socket, const char* bytes, std::size_t length, int wake) {
  while (length > 0) {
    std::size_t written = 0;
    const int result = SSL_write_ex(ssl, bytes, length, &written);
    if (result == 1) {
      bytes += written;
      length -= written;
      continue;
    }
    const Readiness readiness = Needed(ssl, result);
    if (readiness == Readiness::kNone ||
        net::WaitFor(socket, readiness, wake, Clock::time_point::max()) != Wait::kReady) {
      return false;
    }
  }
  return true;
}

bool PlainWriteAll(int socket, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t sent = ::send(socket, bytes, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

// A blocking connection to the inner server on loopback.
int ConnectInner(std::uint16_t port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(socket);
    return -1;
  }
  return socket;
}

enum class Ending { kClose, kReset, kStopped };

// Relays until the inner server ends the connection (its script is over)
// or Stop() is called.
Ending Relay(SSL* ssl, int client, int inner, int wake) {
  char bytes[kRelayBytes];
  bool clientOpen = true;
  for (;;) {
    // Whatever the client sent is decrypted and passed on first: polling
    // the socket would miss bytes OpenSSL already holds.
    while (clientOpen) {
      std::size_t got = 0;
      const int result = SSL_read_ex(ssl, bytes, sizeof bytes, &got);
      if (result == 1) {
        if (!PlainWriteAll(inner, bytes, got)) return Ending::kClose;
        continue;
      }
      if (Needed(ssl, result) == Readiness::kReadable) break;
      clientOpen = false;
      ::shutdown(inner, SHUT_WR);
    }
    pollfd fds[] = {{inner, POLLIN, 0}, {wake, POLLIN, 0}, {clientOpen ? client : -1, POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return Ending::kStopped;
    }
    if (fds[1].revents != 0) return Ending::kStopped;
    if (fds[0].revents == 0) continue;
    const ssize_t received = ::recv(inner, bytes, sizeof bytes, 0);
    if (received > 0) {
      if (!TlsWriteAll(ssl, client, bytes, static_cast<std::size_t>(received), wake)) {
        return Ending::kStopped;
      }
    } else if (received == 0) {
      return Ending::kClose;
    } else if (errno != EINTR) {
      return Ending::kReset;
    }
  }
}

// The FIN goes out, then the client's bytes are drained for a while so that
// closing does not turn into a reset.
void CloseGracefully(int socket, int wake) {
  net::ShutDownSending(socket);
  const Clock::time_point deadline = Clock::now() + kDrainLimit;
  char chunk[kRelayBytes];
  while (net::WaitFor(socket, Readiness::kReadable, wake, deadline) == Wait::kReady) {
    const long n = net::ReceiveSome(socket, chunk, sizeof chunk);
    if (n == net::kAgain) continue;
    if (n <= 0) break;
  }
  net::CloseSocket(socket);
}

}  // namespace

struct TlsScriptServer::Context {
  SSL_CTX* ctx = nullptr;
  ~Context() { SSL_CTX_free(ctx); }
};

namespace {

void LoadCredential(SSL_CTX* ctx, const Credential& credential) {
  BIO* certificate = BIO_new_mem_buf(credential.certificatePem.data(),
                                     static_cast<int>(credential.certificatePem.size()));
  BIO* key = BIO_new_mem_buf(credential.keyPem.data(), static_cast<int>(credential.keyPem.size()));
  X509* x509 = PEM_read_bio_X509(certificate, nullptr, nullptr, nullptr);
  EVP_PKEY* pkey = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
  bool loaded = x509 != nullptr && pkey != nullptr && SSL_CTX_use_certificate(ctx, x509) == 1 &&
                SSL_CTX_use_PrivateKey(ctx, pkey) == 1;
  // The certificates after the first are sent after it.
  while (X509* next = PEM_read_bio_X509(certificate, nullptr, nullptr, nullptr)) {
    loaded = loaded && SSL_CTX_add0_chain_cert(ctx, next) == 1;
  }
  ERR_clear_error();
  X509_free(x509);
  EVP_PKEY_free(pkey);
  BIO_free(certificate);
  BIO_free(key);
  if (!loaded) Die("loading the credential");
}

// Counts a hello that carries a non-empty ticket or a pre-shared key.
int CountOffer(SSL* ssl, int*, void* count) {
  const unsigned char* data = nullptr;
  std::size_t length = 0;
  const bool ticket =
      SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_session_ticket, &data, &length) == 1 && length > 0;
  if (ticket || SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_psk, &data, &length) == 1) {
    ++*static_cast<std::atomic<int>*>(count);
  }
  return SSL_CLIENT_HELLO_SUCCESS;
}

}  // namespace

TlsScriptServer::TlsScriptServer(Script script, const TlsServerOptions& options)
    : inner_(std::in_place, std::move(script)),
      context_(std::make_unique<Context>()),
      options_(options) {
  upstream_ = inner_->port();
  Start();
}

TlsScriptServer::TlsScriptServer(std::uint16_t upstream, const TlsServerOptions& options)
    : upstream_(upstream), context_(std::make_unique<Context>()), options_(options) {
  Start();
}

void TlsScriptServer::Start() {
  const TlsServerOptions& options = options_;
  SSL_CTX* ctx = context_->ctx = SSL_CTX_new(TLS_server_method());
  if (ctx == nullptr) Die("making the context");
  LoadCredential(ctx, options.credential);
  if (options.minVersion != 0) SSL_CTX_set_min_proto_version(ctx, options.minVersion);
  if (options.maxVersion != 0) SSL_CTX_set_max_proto_version(ctx, options.maxVersion);
  if (options.maxVersion != 0 && options.maxVersion < TLS1_2_VERSION) {
    // Versions before 1.2 need the lowest security level to be offered at all.
    SSL_CTX_set_security_level(ctx, 0);
    SSL_CTX_set_cipher_list(ctx, "DEFAULT:@SECLEVEL=0");
  }
  SSL_CTX_set_session_id_context(ctx, kSessionContext, sizeof kSessionContext);
  SSL_CTX_set_client_hello_cb(ctx, CountOffer, &offered_);
  if (!options.tickets) SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET);
  if (!options.resumption) {
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET);
    SSL_CTX_set_num_tickets(ctx, 0);
  }
  loop_.Start([this](int socket, std::vector<std::thread>& workers) {
    ++accepted_;
    JoinFinished(workers);
    workers.emplace_back([this, socket] {
      Serve(socket);
      std::lock_guard<std::mutex> done(mutex_);
      finished_.push_back(std::this_thread::get_id());
    });
  });
}

TlsScriptServer::~TlsScriptServer() { Stop(); }

// Called with mutex_ held; a finished worker has already let go of it.
void TlsScriptServer::JoinFinished(std::vector<std::thread>& workers) {
  for (const std::thread::id id : finished_) {
    const auto worker = std::find_if(workers.begin(), workers.end(),
                                     [id](const std::thread& t) { return t.get_id() == id; });
    if (worker == workers.end()) continue;
    worker->join();
    workers.erase(worker);
  }
  finished_.clear();
}

void TlsScriptServer::Serve(int socket) {
  // OpenSSL writes with plain write(): a client gone early must give EPIPE
  // on this thread, not end the test process.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

  SSL* ssl = SSL_new(context_->ctx);
  if (ssl == nullptr || SSL_set_fd(ssl, socket) != 1 || !Handshake(ssl, socket, loop_.wake())) {
    SSL_free(ssl);
    net::CloseSocket(socket);
    return;
  }
  ++handshakes_;
  if (SSL_session_reused(ssl) == 1) ++resumed_;
  const int inner = ConnectInner(upstream_);
  const Ending ending = inner < 0 ? Ending::kClose : Relay(ssl, socket, inner, loop_.wake());
  if (inner >= 0) ::close(inner);
  if (ending == Ending::kReset) {
    net::ResetSocket(socket);
  } else {
    if (ending == Ending::kClose && options_.closeNotify) SSL_shutdown(ssl);
    CloseGracefully(socket, loop_.wake());
  }
  SSL_free(ssl);
}

void TlsScriptServer::Stop() {
  loop_.Stop();
  if (inner_) inner_->Stop();
}

}  // namespace zcv::test
