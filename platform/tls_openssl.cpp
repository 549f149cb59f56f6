// TLS over OpenSSL. The socket is reached through a BIO of our own that uses
// the platform's send and receive calls, so no TLS write can raise SIGPIPE
// in the host and every wait stays with the HTTP connection.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/tls.h"

namespace zcv::platform {
namespace {

// Enough for every server of a list (ten) several times over; the oldest
// session goes first when it is full.
constexpr std::size_t kMaxRememberedSessions = 32;

// The error number of a failure of TLS itself (the reason text says which).
constexpr int kTlsFailure = EPROTO;

constexpr const char* kReasonNoClose = "connection closed without the server's TLS close";
constexpr const char* kReasonClosedInHandshake = "connection closed during the handshake";
constexpr const char* kReasonNoPin = "server key matches no PinSHA256 entry";
constexpr const char* kReasonHandshake = "handshake failed";
constexpr const char* kReasonNoSession = "cannot make a TLS session";
// Without a CAFile, the finding names the distribution's bundle.
constexpr const char* kReasonNoBundle = ZCV_CA_BUNDLE " cannot be read";

struct SessionFree {
  void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
};
using SessionPtr = std::unique_ptr<SSL_SESSION, SessionFree>;

// The last session of each server, most recently stored last. A server is
// its name or address and its port; each context (one set of TLS settings)
// has its own cache, so no session crosses servers or settings. A stored
// session is shared by the connections that offer it and never changed.
class SessionCache {
 public:
  void Store(const std::string& key, SSL_SESSION* session) {
    SessionPtr owned(session);
    std::lock_guard<std::mutex> lock(mutex_);
    Erase(key);
    if (entries_.size() == kMaxRememberedSessions) entries_.erase(entries_.begin());
    entries_.emplace_back(key, std::move(owned));
  }

  // Offers the server's last session to `ssl` (which takes its own reference).
  void Offer(const std::string& key, SSL* ssl) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : entries_) {
      if (entry.first == key) SSL_set_session(ssl, entry.second.get());
    }
  }

  void Forget(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    Erase(key);
  }

 private:
  void Erase(const std::string& key) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const auto& entry) { return entry.first == key; }),
                   entries_.end());
  }

  std::mutex mutex_;
  std::vector<std::pair<std::string, SessionPtr>> entries_;
};

class OpenSslContext final : public TlsContext {
 public:
  OpenSslContext(SSL_CTX* ctx, std::vector<KeyPin> pins) : ctx_(ctx), pins_(std::move(pins)) {}
  ~OpenSslContext() override { SSL_CTX_free(ctx_); }

  SSL_CTX* ctx() const { return ctx_; }
  const std::vector<KeyPin>& pins() const { return pins_; }
  SessionCache& sessions() { return sessions_; }

 private:
  SSL_CTX* ctx_;
  std::vector<KeyPin> pins_;
  SessionCache sessions_;
};

// What the BIO knows of its socket: the last error number and whether the
// peer has closed.
struct SocketState {
  SocketHandle socket = kNoSocket;
  int error = 0;
  bool eof = false;
};

int BioWrite(BIO* bio, const char* bytes, int length) {
  auto* state = static_cast<SocketState*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  int error = 0;
  const long sent = SendSome(state->socket, bytes, static_cast<std::size_t>(length), &error);
  if (sent >= 0) return static_cast<int>(sent);
  if (sent == kWouldBlock) {
    BIO_set_retry_write(bio);
  } else {
    state->error = error;
  }
  return -1;
}

int BioRead(BIO* bio, char* bytes, int length) {
  auto* state = static_cast<SocketState*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  int error = 0;
  const long received = ReceiveSome(state->socket, bytes, static_cast<std::size_t>(length), &error);
  if (received > 0) return static_cast<int>(received);
  if (received == 0) {
    state->eof = true;
    return 0;
  }
  if (received == kWouldBlock) {
    BIO_set_retry_read(bio);
  } else {
    state->error = error;
  }
  return -1;
}

long BioControl(BIO* bio, int command, long, void*) {
  switch (command) {
    case BIO_CTRL_FLUSH:
      return 1;
    case BIO_CTRL_EOF:
      return static_cast<SocketState*>(BIO_get_data(bio))->eof ? 1 : 0;
    default:
      return 0;
  }
}

const BIO_METHOD* SocketBioMethod() {
  // Freed when the module unloads, so a host that loads and unloads the
  // library again and again does not leak it.
  static const std::unique_ptr<BIO_METHOD, decltype(&BIO_meth_free)> method(
      [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zcv socket");
        if (m != nullptr) {
          BIO_meth_set_write(m, BioWrite);
          BIO_meth_set_read(m, BioRead);
          BIO_meth_set_ctrl(m, BioControl);
        }
        return m;
      }(),
      &BIO_meth_free);
  return method.get();
}

bool MatchesPin(X509* certificate, const std::vector<KeyPin>& pins) {
  unsigned char* der = nullptr;
  const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
  if (length <= 0) return false;
  KeyPin digest{};
  const bool hashed = EVP_Digest(der, static_cast<std::size_t>(length), digest.data(), nullptr,
                                 EVP_sha256(), nullptr) == 1;
  OPENSSL_free(der);
  return hashed && std::find(pins.begin(), pins.end(), digest) != pins.end();
}

// SSL_get_error() reads the thread's error queue, which must hold nothing
// older than the call it explains. Clearing walks every slot even when the
// queue is empty, twice a kept call, so the queue is looked at first.
void ClearErrors() {
  if (ERR_peek_error() != 0) ERR_clear_error();
}

class TlsTransport;
TlsTransport* TransportOf(SSL* ssl) { return static_cast<TlsTransport*>(SSL_get_app_data(ssl)); }

class TlsTransport final : public Transport {
 public:
  TlsTransport(SocketHandle socket, OpenSslContext& context, const char* host, std::uint16_t port)
      : context_(context), key_(std::string(host) + ":" + std::to_string(port)) {
    socket_.socket = socket;
    ssl_ = SSL_new(context.ctx());
    BIO* bio = ssl_ != nullptr ? BIO_new(SocketBioMethod()) : nullptr;
    if (bio == nullptr || !BindIdentity(host)) {
      SSL_free(ssl_);
      BIO_free(bio);
      ssl_ = nullptr;
      return;
    }
    BIO_set_data(bio, &socket_);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_, bio, bio);
    SSL_set_app_data(ssl_, this);
    context_.sessions().Offer(key_, ssl_);
  }
  ~TlsTransport() override {
    // A stream cut short (a handshake or an exchange that failed, was
    // truncated or timed out) does not vouch for its session, so the next
    // connection starts afresh.
    if (ssl_ != nullptr && !finished_) context_.sessions().Forget(key_);
    SSL_free(ssl_);
  }

  TransferResult Start() override {
    if (ssl_ == nullptr) return Failure(kReasonNoSession);
    ERR_clear_error();
    const int result = SSL_connect(ssl_);
    if (result == 1) return TransferResult{};
    TransferResult outcome = Outcome(result, kReasonClosedInHandshake);
    // The peer's close alert before the handshake ended is no handshake.
    if (outcome.closed) outcome = Failure(kReasonClosedInHandshake);
    if (outcome.error != 0) context_.sessions().Forget(key_);
    return outcome;
  }

  TransferResult Send(const char* bytes, std::size_t length) override {
    ClearErrors();
    std::size_t written = 0;
    const int result = SSL_write_ex(ssl_, bytes, length, &written);
    if (result == 1) return Moved(written);
    return Outcome(result, kReasonNoClose);
  }

  TransferResult Receive(char* bytes, std::size_t length) override {
    ClearErrors();
    std::size_t read = 0;
    const int result = SSL_read_ex(ssl_, bytes, length, &read);
    if (result == 1) return Moved(read);
    return Outcome(result, kReasonNoClose);
  }

  // Sends the client's close once, then keeps the connection's session: the
  // close is what keeps OpenSSL from marking it not resumable when the
  // connection is freed, which matters most for a resumed TLS 1.2 session,
  // as no new one replaces it. Under TLS 1.3 the session is the one of the
  // latest ticket.
  void Finish() override {
    if (ssl_ == nullptr || SSL_is_init_finished(ssl_) != 1) return;
    finished_ = true;
    ERR_clear_error();
    SSL_shutdown(ssl_);
    ERR_clear_error();
    SSL_SESSION* session = SSL_get1_session(ssl_);
    if (session != nullptr && SSL_SESSION_is_resumable(session) == 1) {
      context_.sessions().Store(key_, session);
    } else {
      SSL_SESSION_free(session);
      context_.sessions().Forget(key_);
    }
  }

  bool Buffered() const override { return ssl_ != nullptr && SSL_has_pending(ssl_) == 1; }

  const std::vector<KeyPin>& pins() const { return context_.pins(); }
  void NotePinMismatch() { pinMismatch_ = true; }

  bool Describe(TlsPeer* peer) const {
    X509* certificate = ssl_ != nullptr ? SSL_get0_peer_certificate(ssl_) : nullptr;
    int days = 0;
    int seconds = 0;
    if (certificate == nullptr ||
        ASN1_TIME_diff(&days, &seconds, nullptr, X509_get0_notAfter(certificate)) != 1) {
      return false;
    }
    peer->daysLeft = days;
    // The handshake fails unless a pin matched, when pins are set.
    peer->pinned = !pins().empty();
    return true;
  }

 private:
  // The name or address the certificate must carry.
  bool BindIdentity(const char* host) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host) == 1) return true;
    ERR_clear_error();
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return X509_VERIFY_PARAM_set1_host(param, host, 0) == 1 &&
           SSL_set_tlsext_host_name(ssl_, host) == 1;
  }

  static TransferResult Moved(std::size_t count) {
    TransferResult moved;
    moved.count = static_cast<long>(count);
    return moved;
  }

  static TransferResult Failure(const char* reason, int error = kTlsFailure) {
    TransferResult failure;
    failure.error = error;
    failure.reason = reason;
    return failure;
  }

  // Turns an unfinished OpenSSL call into a wait, the end of the stream, or
  // a failure with its reason. `eofReason` names a close without TLS close.
  TransferResult Outcome(int result, const char* eofReason) {
    TransferResult outcome;
    switch (SSL_get_error(ssl_, result)) {
      case SSL_ERROR_WANT_READ:
        outcome.want = Want::kReadable;
        return outcome;
      case SSL_ERROR_WANT_WRITE:
        outcome.want = Want::kWritable;
        return outcome;
      case SSL_ERROR_ZERO_RETURN:
        outcome.closed = true;
        return outcome;
      case SSL_ERROR_SYSCALL:
        // A socket error is reported as one; end of file is a cut stream.
        if (socket_.error != 0) return Failure(nullptr, socket_.error);
        return Failure(eofReason);
      default:
        return Failure(Reason(eofReason));
    }
  }

  const char* Reason(const char* eofReason) const {
    if (pinMismatch_) return kReasonNoPin;
    const long verified = SSL_get_verify_result(ssl_);
    if (verified != X509_V_OK) return X509_verify_cert_error_string(verified);
    const unsigned long error = ERR_peek_last_error();
    if (ERR_GET_LIB(error) == ERR_LIB_SSL &&
        ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
      return eofReason;
    }
    const char* text = ERR_reason_error_string(error);
    return text != nullptr ? text : kReasonHandshake;
  }

  OpenSslContext& context_;
  const std::string key_;
  SocketState socket_;
  SSL* ssl_ = nullptr;
  bool pinMismatch_ = false;
  bool finished_ = false;  // the reply was whole and the close was sent
};

// The chain and the name have been checked by the time the server's own
// certificate (depth 0) is reached; the pins are checked last.
int VerifyPeer(int preverified, X509_STORE_CTX* store) {
  if (preverified != 1 || X509_STORE_CTX_get_error_depth(store) != 0) return preverified;
  auto* ssl =
      static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  TlsTransport* transport = TransportOf(ssl);
  if (transport->pins().empty() ||
      MatchesPin(X509_STORE_CTX_get_current_cert(store), transport->pins())) {
    return 1;
  }
  transport->NotePinMismatch();
  X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
  return 0;
}

// Every certificate (and CRL) of PEM text in the store; false when a block
// does not decode or the text holds no certificate.
bool AddPem(X509_STORE* store, const std::string& pem) {
  if (pem.size() > static_cast<std::size_t>(INT_MAX)) return false;
  BIO* in = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (in == nullptr) return false;
  STACK_OF(X509_INFO)* infos = PEM_X509_INFO_read_bio(in, nullptr, nullptr, nullptr);
  BIO_free(in);
  if (infos == nullptr) return false;
  int certificates = 0;
  bool ok = true;
  for (int i = 0; ok && i < sk_X509_INFO_num(infos); ++i) {
    const X509_INFO* info = sk_X509_INFO_value(infos, i);
    if (info->x509 != nullptr) {
      ok = X509_STORE_add_cert(store, info->x509) == 1;
      ++certificates;
    }
    if (ok && info->crl != nullptr) ok = X509_STORE_add_crl(store, info->crl) == 1;
  }
  sk_X509_INFO_pop_free(infos, X509_INFO_free);
  return ok && certificates > 0;
}

// The trust anchors, from the given PEM text or else from the
// distribution's bundle at its fixed path, and from nowhere else: OpenSSL's
// default paths would follow the host's SSL_CERT_FILE and SSL_CERT_DIR.
X509_STORE* LoadTrust(const std::optional<std::string>& caPem) {
  X509_STORE* store = X509_STORE_new();
  if (store != nullptr &&
      (caPem ? AddPem(store, *caPem) : X509_STORE_load_file(store, ZCV_CA_BUNDLE) == 1)) {
    return store;
  }
  X509_STORE_free(store);
  return nullptr;
}

}  // namespace

std::unique_ptr<TlsContext> MakeTlsContext(const TlsOptions& options, TlsRefusal* refusal) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (ctx == nullptr) {
    *refusal = {"Enabled", kReasonNoSession};
    return nullptr;
  }
  auto context = std::make_unique<OpenSslContext>(ctx, options.pins);
  X509_STORE* trust = LoadTrust(options.caPem);
  ERR_clear_error();
  if (trust == nullptr) {
    *refusal = {"CAFile", !options.caPem ? kReasonNoBundle : "cannot be read"};
    return nullptr;
  }
  // The store replaces both the one OpenSSL made and any verify store that a
  // system-wide OpenSSL configuration gave the new context.
  SSL_CTX_set_cert_store(ctx, trust);
  if (SSL_CTX_set1_verify_cert_store(ctx, trust) != 1) {
    *refusal = {"Enabled", kReasonNoSession};
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(
      ctx, options.minVersion == TlsVersion::k1_3 ? TLS1_3_VERSION : TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, VerifyPeer);
  SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION);
  // A record's header and body in one receive, not two; what is read ahead
  // shows in Buffered().
  SSL_CTX_set_read_ahead(ctx, 1);
  // Sessions are taken when a connection finishes (SessionCache), not here.
  SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  return context;
}

std::unique_ptr<Transport> MakeTlsTransport(SocketHandle socket, TlsContext& context,
                                            const char* host, std::uint16_t port) {
  return std::make_unique<TlsTransport>(socket, static_cast<OpenSslContext&>(context), host, port);
}

bool DescribeTlsPeer(Transport& transport, TlsPeer* peer) {
  const auto* tls = dynamic_cast<const TlsTransport*>(&transport);
  return tls != nullptr && tls->Describe(peer);
}

}  // namespace zcv::platform
