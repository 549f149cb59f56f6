// The OpenSSL reference: blocking socket, one SSL_CTX, the server's latest
// session kept under a mutex and offered to the next connection.
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "bench/tls_reference_client.h"

namespace zcv::bench {
namespace {

constexpr const char* kServerAddress = "127.0.0.1";

class OpenSslClient final : public TlsReferenceClient {
 public:
  OpenSslClient(const std::string& caPem, const char* suites)
      : ctx_(SSL_CTX_new(TLS_client_method())) {
    BIO* bio = BIO_new_mem_buf(caPem.data(), static_cast<int>(caPem.size()));
    X509* ca = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (ctx_ == nullptr || ca == nullptr ||
        X509_STORE_add_cert(SSL_CTX_get_cert_store(ctx_), ca) != 1) {
      throw std::runtime_error("OpenSslClient: cannot trust the CA");
    }
    X509_free(ca);
    if (suites != nullptr && SSL_CTX_set_ciphersuites(ctx_, suites) != 1) {
      throw std::runtime_error("OpenSslClient: unknown cipher suites");
    }
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_session_cache_mode(ctx_, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  }

  ~OpenSslClient() override {
    for (auto& entry : sessions_) SSL_SESSION_free(entry.second);
    SSL_CTX_free(ctx_);
  }

  bool Call(std::uint16_t port, const std::string& request) override {
    const int socket = ConnectLoopback(port);
    if (socket < 0) return false;
    SSL* ssl = SSL_new(ctx_);
    SSL_set_fd(ssl, socket);
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), kServerAddress);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto kept = sessions_.find(port);
      if (kept != sessions_.end()) SSL_set_session(ssl, kept->second);
    }
    std::size_t written = 0;
    const bool complete = SSL_connect(ssl) == 1 &&
                          SSL_write_ex(ssl, request.data(), request.size(), &written) == 1 &&
                          ReadUntilClose(ssl);
    if (complete) {
      SSL_shutdown(ssl);
      Keep(port, SSL_get1_session(ssl));
    } else {
      Keep(port, nullptr);
    }
    ERR_clear_error();
    SSL_free(ssl);
    ::close(socket);
    return complete;
  }

 private:
  static bool ReadUntilClose(SSL* ssl) {
    std::string reply;
    char bytes[4096];
    std::size_t got = 0;
    while (SSL_read_ex(ssl, bytes, sizeof bytes, &got) == 1) reply.append(bytes, got);
    return SSL_get_error(ssl, 0) == SSL_ERROR_ZERO_RETURN &&
           reply.find("<Result>") != std::string::npos;
  }

  // Keeps `session` (its reference taken) for `port`; nullptr or one not
  // resumable forgets the port's session.
  void Keep(std::uint16_t port, SSL_SESSION* session) {
    if (session != nullptr && SSL_SESSION_is_resumable(session) != 1) {
      SSL_SESSION_free(session);
      session = nullptr;
    }
    SSL_SESSION* old = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      SSL_SESSION*& slot = sessions_[port];
      old = slot;
      slot = session;
    }
    SSL_SESSION_free(old);
  }

  SSL_CTX* ctx_;
  std::mutex mutex_;
  std::map<std::uint16_t, SSL_SESSION*> sessions_;
};

// One verified connection kept open between calls.
struct KeptConnection {
  int socket = -1;
  SSL* ssl = nullptr;
  ~KeptConnection() {
    if (ssl != nullptr) {
      SSL_shutdown(ssl);
      SSL_free(ssl);
    }
    if (socket >= 0) ::close(socket);
  }
};

class OpenSslKeptClient final : public TlsReferenceClient {
 public:
  explicit OpenSslKeptClient(const std::string& caPem) : ctx_(SSL_CTX_new(TLS_client_method())) {
    BIO* bio = BIO_new_mem_buf(caPem.data(), static_cast<int>(caPem.size()));
    X509* ca = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (ctx_ == nullptr || ca == nullptr ||
        X509_STORE_add_cert(SSL_CTX_get_cert_store(ctx_), ca) != 1) {
      throw std::runtime_error("OpenSslKeptClient: cannot trust the CA");
    }
    X509_free(ca);
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
  }

  ~OpenSslKeptClient() override {
    idle_.clear();
    SSL_CTX_free(ctx_);
  }

  bool Call(std::uint16_t port, const std::string& request) override {
    std::string kept = request;
    const std::string close = "Connection: close\r\n";
    const std::size_t at = kept.find(close);
    if (at != std::string::npos) kept.erase(at, close.size());
    std::unique_ptr<KeptConnection> connection = Take(port);
    if (connection != nullptr && Exchange(*connection, kept)) {
      Give(port, std::move(connection));
      return true;
    }
    connection = Open(port);
    if (connection == nullptr || !Exchange(*connection, kept)) return false;
    Give(port, std::move(connection));
    return true;
  }

 private:
  std::unique_ptr<KeptConnection> Open(std::uint16_t port) {
    auto connection = std::make_unique<KeptConnection>();
    connection->socket = ConnectLoopback(port);
    if (connection->socket < 0) return nullptr;
    connection->ssl = SSL_new(ctx_);
    SSL_set_fd(connection->ssl, connection->socket);
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(connection->ssl), kServerAddress);
    if (SSL_connect(connection->ssl) != 1) {
      ERR_clear_error();
      return nullptr;
    }
    return connection;
  }

  // The request and its reply, read by its Content-Length.
  static bool Exchange(KeptConnection& connection, const std::string& request) {
    std::size_t written = 0;
    if (SSL_write_ex(connection.ssl, request.data(), request.size(), &written) != 1) {
      ERR_clear_error();
      return false;
    }
    std::string reply;
    char bytes[4096];
    std::size_t got = 0;
    std::size_t headEnd = std::string::npos;
    std::size_t length = 0;
    for (;;) {
      if (SSL_read_ex(connection.ssl, bytes, sizeof bytes, &got) != 1) {
        ERR_clear_error();
        return false;
      }
      reply.append(bytes, got);
      if (headEnd == std::string::npos) {
        headEnd = reply.find("\r\n\r\n");
        if (headEnd == std::string::npos) continue;
        const std::size_t field = reply.find("Content-Length: ");
        if (field == std::string::npos || field > headEnd) return false;
        length = std::strtoul(reply.c_str() + field + 16, nullptr, 10);
        headEnd += 4;
      }
      if (reply.size() >= headEnd + length) break;
    }
    return reply.find("<Result>", headEnd) != std::string::npos;
  }

  std::unique_ptr<KeptConnection> Take(std::uint16_t port) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::unique_ptr<KeptConnection>>& kept = idle_[port];
    if (kept.empty()) return nullptr;
    std::unique_ptr<KeptConnection> connection = std::move(kept.back());
    kept.pop_back();
    return connection;
  }

  void Give(std::uint16_t port, std::unique_ptr<KeptConnection> connection) {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_[port].push_back(std::move(connection));
  }

  SSL_CTX* ctx_;
  std::mutex mutex_;
  std::map<std::uint16_t, std::vector<std::unique_ptr<KeptConnection>>> idle_;
};

}  // namespace

std::unique_ptr<TlsReferenceClient> MakeOpenSslKeptClient(const std::string& caPem) {
  return std::make_unique<OpenSslKeptClient>(caPem);
}

std::unique_ptr<TlsReferenceClient> MakeOpenSslClient(const std::string& caPem,
                                                      const char* suites) {
  return std::make_unique<OpenSslClient>(caPem, suites);
}

}  // namespace zcv::bench
