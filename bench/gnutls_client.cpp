// The GnuTLS reference: blocking socket, one set of credentials and one
// priority cache, the server's latest session data kept under a mutex and
// set on the next session. A dotted address is checked against the
// certificate's IP addresses alone.
#include <gnutls/gnutls.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "bench/tls_reference_client.h"

namespace zcv::bench {
namespace {

constexpr const char* kServerAddress = "127.0.0.1";
constexpr auto kReplyLimit = std::chrono::seconds(5);
// TLS 1.2 and 1.3 only, as the library's default, and X25519 first, as
// OpenSSL's, so that both clients make the same key exchange.
constexpr const char* kPriorities =
    "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-GROUP-ALL:+GROUP-X25519:+GROUP-SECP256R1:"
    "+GROUP-SECP384R1:+GROUP-SECP521R1";

class GnuTlsClient final : public TlsReferenceClient {
 public:
  explicit GnuTlsClient(const std::string& caPem) {
    gnutls_datum_t ca{reinterpret_cast<unsigned char*>(const_cast<char*>(caPem.data())),
                      static_cast<unsigned>(caPem.size())};
    if (gnutls_certificate_allocate_credentials(&credentials_) != GNUTLS_E_SUCCESS ||
        gnutls_certificate_set_x509_trust_mem(credentials_, &ca, GNUTLS_X509_FMT_PEM) != 1 ||
        gnutls_priority_init(&priorities_, kPriorities, nullptr) != GNUTLS_E_SUCCESS) {
      throw std::runtime_error("GnuTlsClient: cannot set up the credentials");
    }
  }

  ~GnuTlsClient() override {
    gnutls_priority_deinit(priorities_);
    gnutls_certificate_free_credentials(credentials_);
  }

  bool Call(std::uint16_t port, const std::string& request) override {
    const int socket = ConnectLoopback(port);
    if (socket < 0) return false;
    gnutls_session_t session = nullptr;
    bool complete =
        gnutls_init(&session, GNUTLS_CLIENT) == GNUTLS_E_SUCCESS &&
        gnutls_priority_set(session, priorities_) == GNUTLS_E_SUCCESS &&
        gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, credentials_) == GNUTLS_E_SUCCESS;
    if (complete) {
      // The chain and the address are checked inside the handshake, which
      // fails when either does not hold.
      gnutls_session_set_verify_cert(session, kServerAddress, 0);
      gnutls_transport_set_int(session, socket);
      Offer(port, session);
      complete = Handshake(session) && SendAll(session, request) && ReadUntilClose(session);
    }
    if (complete) {
      gnutls_bye(session, GNUTLS_SHUT_WR);
      Keep(port, session);
    } else {
      Forget(port);
    }
    gnutls_deinit(session);
    ::close(socket);
    return complete;
  }

 private:
  static bool Handshake(gnutls_session_t session) {
    int result = 0;
    do {
      result = gnutls_handshake(session);
      // With a blocking socket, "again" is the socket's time-out.
    } while (result == GNUTLS_E_INTERRUPTED);
    return result == GNUTLS_E_SUCCESS;
  }

  static bool SendAll(gnutls_session_t session, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = gnutls_record_send(session, bytes.data() + sent, bytes.size() - sent);
      if (n == GNUTLS_E_INTERRUPTED) continue;
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // True when the server's TLS close ended a reply holding "<Result>".
  // Under TLS 1.3 a receive that took a session ticket says "again" even on
  // a blocking socket, as does the socket's time-out; a deadline tells them
  // apart.
  static bool ReadUntilClose(gnutls_session_t session) {
    const auto deadline = std::chrono::steady_clock::now() + kReplyLimit;
    std::string reply;
    char bytes[4096];
    for (;;) {
      const ssize_t n = gnutls_record_recv(session, bytes, sizeof bytes);
      if (n > 0) {
        reply.append(bytes, static_cast<std::size_t>(n));
      } else if (n == 0) {
        return reply.find("<Result>") != std::string::npos;
      } else if ((n != GNUTLS_E_AGAIN && n != GNUTLS_E_INTERRUPTED) ||
                 std::chrono::steady_clock::now() > deadline) {
        return false;
      }
    }
  }

  void Offer(std::uint16_t port, gnutls_session_t session) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto kept = sessions_.find(port);
    if (kept != sessions_.end() && !kept->second.empty()) {
      gnutls_session_set_data(session, kept->second.data(), kept->second.size());
    }
  }

  void Keep(std::uint16_t port, gnutls_session_t session) {
    gnutls_datum_t data{};
    if (gnutls_session_get_data2(session, &data) != GNUTLS_E_SUCCESS) return Forget(port);
    std::vector<unsigned char> copy(data.data, data.data + data.size);
    gnutls_free(data.data);
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_[port] = std::move(copy);
  }

  void Forget(std::uint16_t port) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(port);
  }

  gnutls_certificate_credentials_t credentials_ = nullptr;
  gnutls_priority_t priorities_ = nullptr;
  std::mutex mutex_;
  std::map<std::uint16_t, std::vector<unsigned char>> sessions_;
};

}  // namespace

std::unique_ptr<TlsReferenceClient> MakeGnuTlsClient(const std::string& caPem) {
  return std::make_unique<GnuTlsClient>(caPem);
}

}  // namespace zcv::bench
