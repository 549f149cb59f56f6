// TLS on Windows through Schannel, the system's own TLS. One credentials
// handle per context: Schannel keeps its sessions there by target name, so
// later connections to a server resume. The chain is built by the system's
// chain engine (one whose only roots are the CAFile's when a file is
// configured); its own trust status, the root it ends in, the SSL policy,
// the name or address and the key pins are checked here, all before the
// first byte of a request leaves. The socket is read and
// written directly without blocking, so every wait stays with the HTTP
// connection.
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
// The system headers depend on their order, which the formatter keeps.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
// SCH_CREDENTIALS is declared only with this, over subauth.h's strings.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>
#include <security.h>
// clang-format on

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/tls.h"

namespace zcv::platform {
namespace {

// The error number of a failure of TLS itself (the reason text says which).
constexpr int kTlsFailure = WSAECONNABORTED;

constexpr const char* kReasonNoClose = "connection closed without the server's TLS close";
constexpr const char* kReasonClosedInHandshake = "connection closed during the handshake";
constexpr const char* kReasonNoPin = "server key matches no PinSHA256 entry";
constexpr const char* kReasonHandshake = "handshake failed";
constexpr const char* kReasonNoSession = "cannot make a TLS session";
constexpr const char* kReasonNoVersion = "no protocol version or cipher in common with the server";
constexpr const char* kReasonClientCertificate = "the server asks for a client certificate";
constexpr const char* kReasonNoCertificate = "the server sent no certificate";
constexpr const char* kReasonChain = "cannot build the certificate chain";
constexpr const char* kReasonDecrypt = "cannot decrypt a record";
constexpr const char* kReasonEncrypt = "cannot encrypt a record";
constexpr const char* kReasonRenegotiation = "the server asks to renegotiate";
constexpr const char* kReasonRecordTooLarge = "record too large";
constexpr const char* kReasonOldVersion = "the server's protocol version is below MinVersion";

// A TLS record's header, and the largest record a peer may send (RFC 8446
// and 5246: 2^14 bytes of plain text with up to 2,048 of expansion).
constexpr std::size_t kRecordHeader = 5;
constexpr std::size_t kMaxRecord = kRecordHeader + 16384 + 2048;
constexpr unsigned char kAlertRecord = 21;

struct StoreCloser {
  void operator()(void* store) const { ::CertCloseStore(store, 0); }
};
using StorePtr = std::unique_ptr<void, StoreCloser>;

struct CertificateFree {
  void operator()(const CERT_CONTEXT* certificate) const {
    ::CertFreeCertificateContext(certificate);
  }
};
using CertificatePtr = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct ChainFree {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { ::CertFreeCertificateChain(chain); }
};
using ChainPtr = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

struct LocalFreer {
  void operator()(void* memory) const { ::LocalFree(memory); }
};

std::wstring Widen(const char* text) {
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

// Every certificate of PEM text in a new memory store; nullptr when the
// text holds a block that does not decode, or holds none.
StorePtr ReadPemCertificates(const std::string& text) {
  static constexpr char kBegin[] = "-----BEGIN CERTIFICATE-----";
  static constexpr char kEnd[] = "-----END CERTIFICATE-----";
  StorePtr store(
      ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!store) return nullptr;
  int added = 0;
  for (std::size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at)) {
    const std::size_t end = text.find(kEnd, at);
    if (end == std::string::npos) return nullptr;
    const std::size_t length = end + sizeof kEnd - 1 - at;
    DWORD size = 0;
    if (!::CryptStringToBinaryA(text.data() + at, static_cast<DWORD>(length),
                                CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
      return nullptr;
    }
    std::vector<BYTE> der(size);
    if (!::CryptStringToBinaryA(text.data() + at, static_cast<DWORD>(length),
                                CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) ||
        !::CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size,
                                            CERT_STORE_ADD_USE_EXISTING, nullptr)) {
      return nullptr;
    }
    ++added;
    at += length;
  }
  return added > 0 ? std::move(store) : nullptr;
}

// The client bits of the versions at or above the floor.
DWORD AllowedProtocols(TlsVersion minVersion) {
  return minVersion == TlsVersion::k1_3 ? SP_PROT_TLS1_3_CLIENT
                                        : SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
}

// The client bits of the versions below the floor.
DWORD RefusedProtocols(TlsVersion minVersion) {
  constexpr DWORD kOlderThan12 =
      SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
  return minVersion == TlsVersion::k1_3 ? kOlderThan12 | SP_PROT_TLS1_2_CLIENT : kOlderThan12;
}

// Outbound credentials that verify nothing on their own (the chain, name
// and pins are checked after the handshake) and offer only `allowed`.
SECURITY_STATUS AcquireCredentials(DWORD allowed, CredHandle* credentials) {
  constexpr DWORD kFlags =
      SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
  auto* package = const_cast<SEC_WCHAR*>(UNISP_NAME_W);
  // Windows 10 1809 and later take SCH_CREDENTIALS, the only form that
  // offers TLS 1.3; it names the versions that are not allowed.
  TLS_PARAMETERS parameters{};
  parameters.grbitDisabledProtocols = ~allowed;
  SCH_CREDENTIALS current{};
  current.dwVersion = SCH_CREDENTIALS_VERSION;
  current.dwFlags = kFlags;
  current.cTlsParameters = 1;
  current.pTlsParameters = &parameters;
  SECURITY_STATUS status =
      ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &current,
                                  nullptr, nullptr, credentials, nullptr);
  if (status == SEC_E_OK) return status;
  // Earlier systems know SCHANNEL_CRED, which names the versions allowed.
  SCHANNEL_CRED earlier{};
  earlier.dwVersion = SCHANNEL_CRED_VERSION;
  earlier.dwFlags = kFlags;
  earlier.grbitEnabledProtocols = allowed;
  status = ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &earlier,
                                       nullptr, nullptr, credentials, nullptr);
  if (status != SEC_E_OK) return status;
  // A system may accept the request yet offer none of the versions asked.
  SecPkgCred_SupportedProtocols offered{};
  if (::QueryCredentialsAttributesW(credentials, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &offered) ==
          SEC_E_OK &&
      (offered.grbitProtocol & allowed) == 0) {
    ::FreeCredentialsHandle(credentials);
    return SEC_E_ALGORITHM_MISMATCH;
  }
  return SEC_E_OK;
}

class SchannelContext final : public TlsContext {
 public:
  SchannelContext(CredHandle credentials, StorePtr roots, HCERTCHAINENGINE engine,
                  const TlsOptions& options)
      : credentials_(credentials),
        roots_(std::move(roots)),
        engine_(engine),
        pins_(options.pins),
        refused_(RefusedProtocols(options.minVersion)) {}
  ~SchannelContext() override {
    ::FreeCredentialsHandle(&credentials_);
    if (engine_ != nullptr) ::CertFreeCertificateChainEngine(engine_);
  }

  CredHandle* credentials() { return &credentials_; }
  // nullptr: the system's default engine and its stores.
  HCERTCHAINENGINE engine() const { return engine_; }
  // The CAFile's certificates, or nullptr: the system's roots.
  HCERTSTORE roots() const { return roots_.get(); }
  const std::vector<KeyPin>& pins() const { return pins_; }
  DWORD refusedProtocols() const { return refused_; }

 private:
  CredHandle credentials_;
  StorePtr roots_;  // the CAFile's certificates, the engine's only roots
  HCERTCHAINENGINE engine_;
  std::vector<KeyPin> pins_;
  DWORD refused_;
};

// A chain engine whose only roots are the certificates of `roots`. The
// whole structure first; Windows 7 knows only the layout that ends before
// dwExclusiveFlags. Whether an engine honours the exclusive roots or not,
// the root of every chain is also looked up in `roots` (InRoots below).
HCERTCHAINENGINE MakeExclusiveEngine(HCERTSTORE roots) {
  CERT_CHAIN_ENGINE_CONFIG config{};
  config.hExclusiveRoot = roots;
  HCERTCHAINENGINE engine = nullptr;
  for (const DWORD size :
       {static_cast<DWORD>(sizeof config),
        static_cast<DWORD>(offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags))}) {
    config.cbSize = size;
    if (::CertCreateCertificateChainEngine(&config, &engine)) return engine;
  }
  return nullptr;
}

// Whether `certificate` is one of the certificates of `roots`.
bool InRoots(HCERTSTORE roots, const CERT_CONTEXT* certificate) {
  const CERT_CONTEXT* found = ::CertFindCertificateInStore(
      roots, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate, nullptr);
  if (found == nullptr) return false;
  ::CertFreeCertificateContext(found);
  return true;
}

// The chain's own verdict: the reason for refusing it, or nullptr. The SSL
// policy alone is not enough, for not every system's policy looks at every
// element (a chain that stops short of any root has passed it). Revocation
// is not asked for, so its "unknown" bits are the only ones let through.
const char* TrustStatusReason(DWORD status, const CERT_CONTEXT* leaf) {
  constexpr DWORD kNotAsked = CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                              CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_IS_NOT_TIME_NESTED;
  status &= ~kNotAsked;
  if (status == CERT_TRUST_NO_ERROR) return nullptr;
  if (status & CERT_TRUST_IS_PARTIAL_CHAIN) return "unable to get local issuer certificate";
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) return "certificate chain ends in an untrusted root";
  if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return "certificate signature failure";
  if (status & CERT_TRUST_IS_REVOKED) return "certificate revoked";
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) {
    const LONG leafTime = ::CertVerifyTimeValidity(nullptr, leaf->pCertInfo);
    return leafTime < 0 ? "certificate is not yet valid" : "certificate has expired";
  }
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return "unsupported certificate purpose";
  return "certificate verify failed";
}

// The texts match those of the Linux build where the meaning is the same.
const char* ChainReason(DWORD error, const CERT_CONTEXT* leaf) {
  switch (static_cast<HRESULT>(error)) {
    case CERT_E_EXPIRED:
      return ::CertVerifyTimeValidity(nullptr, leaf->pCertInfo) < 0 ? "certificate is not yet valid"
                                                                    : "certificate has expired";
    case CERT_E_UNTRUSTEDROOT:
      return "certificate chain ends in an untrusted root";
    case CERT_E_CHAINING:
      return "unable to get local issuer certificate";
    case CERT_E_CN_NO_MATCH:
      return "hostname mismatch";
    case CERT_E_WRONG_USAGE:
      return "unsupported certificate purpose";
    case CERT_E_REVOKED:
      return "certificate revoked";
    case TRUST_E_CERT_SIGNATURE:
      return "certificate signature failure";
    default:
      return "certificate verify failed";
  }
}

// Whether the certificate's subjectAltName holds this IPv4 address.
// The address the certificate must carry when the host is one: 4 bytes
// for IPv4, 16 for IPv6, none (length 0) for a name.
struct PeerAddress {
  unsigned char bytes[16] = {};
  DWORD length = 0;
};

PeerAddress AddressOf(const char* host) {
  PeerAddress address;
  if (::InetPtonA(AF_INET, host, address.bytes) == 1) {
    address.length = 4;
  } else if (::InetPtonA(AF_INET6, host, address.bytes) == 1) {
    address.length = 16;
  }
  return address;
}

bool HoldsAddress(const CERT_CONTEXT* leaf, const PeerAddress& address) {
  const CERT_INFO* info = leaf->pCertInfo;
  const CERT_EXTENSION* extension =
      ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  if (extension == nullptr) return false;
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD size = 0;
  if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                             &size)) {
    return false;
  }
  std::unique_ptr<CERT_ALT_NAME_INFO, LocalFreer> owned(names);
  for (DWORD i = 0; i < names->cAltEntry; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
    if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
        entry.IPAddress.cbData == address.length &&
        std::memcmp(entry.IPAddress.pbData, address.bytes, address.length) == 0) {
      return true;
    }
  }
  return false;
}

bool MatchesPin(const CERT_CONTEXT* leaf, const std::vector<KeyPin>& pins) {
  BYTE* der = nullptr;
  DWORD length = 0;
  if (!::CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO,
                             &leaf->pCertInfo->SubjectPublicKeyInfo, CRYPT_ENCODE_ALLOC_FLAG,
                             nullptr, &der, &length)) {
    return false;
  }
  std::unique_ptr<BYTE, LocalFreer> owned(der);
  KeyPin digest{};
  DWORD digestLength = digest.size();
  return ::CryptHashCertificate(0, CALG_SHA_256, 0, der, length, digest.data(), &digestLength) &&
         digestLength == digest.size() && std::find(pins.begin(), pins.end(), digest) != pins.end();
}

TransferResult Failure(const char* reason, int error = kTlsFailure) {
  TransferResult failure;
  failure.error = error;
  failure.reason = reason;
  return failure;
}

TransferResult Waiting(Want want) {
  TransferResult waiting;
  waiting.want = want;
  return waiting;
}

class SchannelTransport final : public Transport {
 public:
  SchannelTransport(SocketHandle socket, SchannelContext& context, const char* host)
      : socket_(socket),
        context_(context),
        target_(Widen(host)),
        address_(AddressOf(host)),
        isAddress_(address_.length != 0),
        in_(2 * kMaxRecord) {
    SecInvalidateHandle(&session_);
  }
  ~SchannelTransport() override {
    if (SecIsValidHandle(&session_)) ::DeleteSecurityContext(&session_);
  }

  TransferResult Start() override {
    for (;;) {
      TransferResult outcome;
      if (!Flush(&outcome)) return outcome;
      if (open_) return TransferResult{};
      if (needInput_ && !Fill(&outcome, kReasonClosedInHandshake)) return outcome;
      outcome = Handshake();
      if (outcome.error != 0) return outcome;
    }
  }

  // The bytes of a record are taken once it has been encrypted; a call that
  // must wait to send it is repeated with the same bytes, as the
  // connection does, and then reports them sent.
  TransferResult Send(const char* bytes, std::size_t length) override {
    if (!open_) return Failure(kReasonNoSession);
    TransferResult outcome;
    if (pendingPlain_ == 0 && length > 0) {
      // What an earlier step queued (a reply after the handshake) goes first.
      if (!Flush(&outcome)) return outcome;
      const std::size_t taken = std::min<std::size_t>(length, sizes_.cbMaximumMessage);
      if (!Encrypt(bytes, taken)) return Failure(kReasonEncrypt);
      pendingPlain_ = taken;
    }
    if (!Flush(&outcome)) return outcome;
    outcome.count = static_cast<long>(pendingPlain_);
    pendingPlain_ = 0;
    return outcome;
  }

  // Once the handshake has succeeded: how long the server's certificate
  // holds, and whether a pin was required (the handshake fails unless one
  // matched).
  bool Describe(TlsPeer* peer) const {
    if (!open_) return false;
    constexpr long long kTicksPerDay = 864000000000LL;  // of 100 ns
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
      return static_cast<long long>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                    time.dwLowDateTime);
    };
    peer->daysLeft = static_cast<int>((ticks(notAfter_) - ticks(now)) / kTicksPerDay);
    peer->pinned = !context_.pins().empty();
    return true;
  }

  bool Buffered() const override { return plainTaken_ < plain_.size() || inUsed_ > 0 || closed_; }

  TransferResult Receive(char* bytes, std::size_t length) override {
    if (!open_) return Failure(kReasonNoSession);
    for (;;) {
      if (plainTaken_ < plain_.size()) {
        const std::size_t count = std::min(length, plain_.size() - plainTaken_);
        std::memcpy(bytes, plain_.data() + plainTaken_, count);
        plainTaken_ += count;
        TransferResult moved;
        moved.count = static_cast<long>(count);
        return moved;
      }
      if (closed_) {
        TransferResult end;
        end.closed = true;
        return end;
      }
      TransferResult outcome;
      // A reply to a message after the handshake may still be on its way.
      if (!Flush(&outcome)) return outcome;
      if (RecordHeld()) {
        outcome = Decrypt();
        if (outcome.error != 0) return outcome;
        continue;
      }
      if (!Fill(&outcome, kReasonNoClose)) return outcome;
    }
  }

 private:
  // Sends what is queued. False with `*outcome` set when it must wait or
  // the socket failed.
  bool Flush(TransferResult* outcome) {
    while (outSent_ < out_.size()) {
      int error = 0;
      const long sent = SendSome(socket_, out_.data() + outSent_, out_.size() - outSent_, &error);
      if (sent == kWouldBlock) {
        *outcome = Waiting(Want::kWritable);
        return false;
      }
      if (sent < 0) {
        *outcome = Failure(nullptr, error);
        return false;
      }
      outSent_ += static_cast<std::size_t>(sent);
    }
    out_.clear();
    outSent_ = 0;
    return true;
  }

  // Receives more of the server's records. False with `*outcome` set when it
  // must wait, the socket failed, or the server closed (`eofReason`).
  bool Fill(TransferResult* outcome, const char* eofReason) {
    if (inUsed_ == in_.size()) {
      *outcome = Failure(kReasonRecordTooLarge);
      return false;
    }
    int error = 0;
    const long received = ReceiveSome(socket_, in_.data() + inUsed_, in_.size() - inUsed_, &error);
    if (received == kWouldBlock) {
      *outcome = Waiting(Want::kReadable);
      return false;
    }
    if (received < 0) {
      *outcome = Failure(nullptr, error);
      return false;
    }
    if (received == 0) {
      *outcome = Failure(eofReason);
      return false;
    }
    inUsed_ += static_cast<std::size_t>(received);
    needInput_ = false;
    return true;
  }

  // Keeps the last `extra` received bytes that a call left unused.
  void KeepExtra(std::size_t extra) {
    if (extra > inUsed_) extra = 0;
    std::memmove(in_.data(), in_.data() + inUsed_ - extra, extra);
    inUsed_ = extra;
  }

  // One handshake step over what has been received so far.
  TransferResult Handshake() {
    constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                               ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                               ISC_REQ_MANUAL_CRED_VALIDATION;
    const bool first = !SecIsValidHandle(&session_);
    SecBuffer input[2] = {{static_cast<ULONG>(inUsed_), SECBUFFER_TOKEN, in_.data()},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
    SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outputDesc{SECBUFFER_VERSION, 1, &output};
    ULONG attributes = 0;
    const SECURITY_STATUS status = ::InitializeSecurityContextW(
        context_.credentials(), first ? nullptr : &session_,
        target_.empty() ? nullptr : &target_[0], kRequest, 0, 0, first ? nullptr : &inputDesc, 0,
        &session_, &outputDesc, &attributes, nullptr);
    if (output.pvBuffer != nullptr) {
      const char* token = static_cast<const char*>(output.pvBuffer);
      out_.insert(out_.end(), token, token + output.cbBuffer);
      ::FreeContextBuffer(output.pvBuffer);
    }
    switch (status) {
      case SEC_E_OK:
        KeepExtra(input[1].BufferType == SECBUFFER_EXTRA ? input[1].cbBuffer : 0);
        return Established();
      case SEC_I_CONTINUE_NEEDED:
        KeepExtra(input[1].BufferType == SECBUFFER_EXTRA ? input[1].cbBuffer : 0);
        needInput_ = inUsed_ == 0;
        return TransferResult{};
      case SEC_E_INCOMPLETE_MESSAGE:
        needInput_ = true;
        return TransferResult{};
      case SEC_I_INCOMPLETE_CREDENTIALS:
        return Failure(kReasonClientCertificate);
      case SEC_E_ALGORITHM_MISMATCH:
      case SEC_E_UNSUPPORTED_FUNCTION:
        return Failure(kReasonNoVersion);
      default:
        return Failure(kReasonHandshake);
    }
  }

  // The handshake is complete: the server is checked before anything is
  // sent, and the record sizes are learnt.
  TransferResult Established() {
    if (const char* refused = Verify()) return Failure(refused);
    if (::QueryContextAttributesW(&session_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
        sizes_.cbMaximumMessage == 0) {
      return Failure(kReasonNoSession);
    }
    // The credentials allow no older version, but a system that does not
    // honour that is caught here: a version known to be older is refused.
    SecPkgContext_ConnectionInfo connection{};
    if (::QueryContextAttributesW(&session_, SECPKG_ATTR_CONNECTION_INFO, &connection) !=
            SEC_E_OK ||
        (connection.dwProtocol & context_.refusedProtocols()) != 0) {
      return Failure(kReasonOldVersion);
    }
    tls13_ = (connection.dwProtocol & SP_PROT_TLS1_3_CLIENT) != 0;
    open_ = true;
    return TransferResult{};
  }

  // The chain to a trusted root, the name or address, then the pins. The
  // reason for refusing the server, or nullptr.
  const char* Verify() {
    const CERT_CONTEXT* received = nullptr;
    if (::QueryContextAttributesW(const_cast<CtxtHandle*>(&session_),
                                  SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received) != SEC_E_OK ||
        received == nullptr) {
      return kReasonNoCertificate;
    }
    const CertificatePtr leaf(received);
    notAfter_ = leaf->pCertInfo->NotAfter;
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // Nothing is fetched from the network: the chain is built from what the
    // server sent and the stores, inside the connect time-out.
    const CERT_CHAIN_CONTEXT* built = nullptr;
    if (!::CertGetCertificateChain(context_.engine(), leaf.get(), nullptr, leaf->hCertStore,
                                   &chainPara, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr,
                                   &built)) {
      return kReasonChain;
    }
    const ChainPtr chain(built);
    if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return kReasonChain;
    if (const char* refused = TrustStatusReason(chain->TrustStatus.dwErrorStatus, leaf.get())) {
      return refused;
    }
    // With a CAFile the chain must end in one of its certificates: the
    // CAFile adds no trust beyond its own roots, and nothing else (the
    // system's roots included) stands in for them.
    const CERT_SIMPLE_CHAIN* last = chain->rgpChain[chain->cChain - 1];
    if (context_.roots() != nullptr &&
        (last->cElement == 0 ||
         !InRoots(context_.roots(), last->rgpElement[last->cElement - 1]->pCertContext))) {
      return "certificate chain ends in an untrusted root";
    }
    std::wstring name = target_;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    // An address is matched below, against the IP entries alone.
    ssl.pwszServerName = isAddress_ ? nullptr : &name[0];
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS verdict{};
    verdict.cbSize = sizeof verdict;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy,
                                            &verdict)) {
      return kReasonChain;
    }
    if (verdict.dwError != 0) return ChainReason(verdict.dwError, leaf.get());
    if (isAddress_ && !HoldsAddress(leaf.get(), address_)) return "IP address mismatch";
    const std::vector<KeyPin>& pins = context_.pins();
    if (!pins.empty() && !MatchesPin(leaf.get(), pins)) return kReasonNoPin;
    return nullptr;
  }

  // Queues one record of `length` bytes (at most the largest message).
  bool Encrypt(const char* bytes, std::size_t length) {
    out_.assign(sizes_.cbHeader + length + sizes_.cbTrailer, '\0');
    outSent_ = 0;
    char* header = out_.data();
    std::memcpy(header + sizes_.cbHeader, bytes, length);
    SecBuffer buffers[4] = {
        {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, header},
        {static_cast<ULONG>(length), SECBUFFER_DATA, header + sizes_.cbHeader},
        {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, header + sizes_.cbHeader + length},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    if (::EncryptMessage(&session_, 0, &desc, 0) != SEC_E_OK) {
      out_.clear();
      return false;
    }
    out_.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    return true;
  }

  // Whether a whole record has been received.
  bool RecordHeld() const {
    if (inUsed_ < kRecordHeader) return false;
    const auto* header = reinterpret_cast<const unsigned char*>(in_.data());
    return inUsed_ >= kRecordHeader + ((std::size_t{header[3]} << 8) | header[4]);
  }

  // Decrypts the first record held into `plain_`.
  TransferResult Decrypt() {
    const bool alert = static_cast<unsigned char>(in_[0]) == kAlertRecord;
    SecBuffer buffers[4] = {{static_cast<ULONG>(inUsed_), SECBUFFER_DATA, in_.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = ::DecryptMessage(&session_, &desc, 0, nullptr);
    if (status == SEC_I_CONTEXT_EXPIRED) {
      closed_ = true;
      return TransferResult{};
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) return Failure(kReasonDecrypt);
    plain_.clear();
    plainTaken_ = 0;
    std::size_t extra = 0;
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType == SECBUFFER_DATA) {
        const char* data = static_cast<const char*>(buffer.pvBuffer);
        plain_.assign(data, data + buffer.cbBuffer);
      } else if (buffer.BufferType == SECBUFFER_EXTRA) {
        extra = buffer.cbBuffer;
      }
    }
    KeepExtra(extra);
    if (status == SEC_I_RENEGOTIATE) return AfterHandshake();
    // TLS 1.2 sends the server's close as an alert record in the clear
    // framing; a system that reports it as an empty record ends the same.
    if (alert && plain_.empty()) closed_ = true;
    return TransferResult{};
  }

  // TLS 1.3 carries tickets and key updates after the handshake, which
  // Schannel takes through InitializeSecurityContext. An older version's
  // request to renegotiate is refused: the server was verified once.
  TransferResult AfterHandshake() {
    if (!tls13_) return Failure(kReasonRenegotiation);
    open_ = false;
    TransferResult outcome = Handshake();
    open_ = outcome.error == 0;
    return outcome;
  }

  const SocketHandle socket_;
  SchannelContext& context_;
  FILETIME notAfter_{};  // of the server's certificate, once received
  std::wstring target_;  // SNI for a name, and Schannel's session cache key
  const PeerAddress address_;
  const bool isAddress_;
  CtxtHandle session_;
  SecPkgContext_StreamSizes sizes_{};
  bool open_ = false;
  bool tls13_ = false;
  bool needInput_ = false;
  bool closed_ = false;
  std::vector<char> in_;  // records received, the first `inUsed_` bytes
  std::size_t inUsed_ = 0;
  std::vector<char> out_;  // records to send, from `outSent_` on
  std::size_t outSent_ = 0;
  std::size_t pendingPlain_ = 0;  // bytes of the caller's in `out_`
  std::vector<char> plain_;       // decrypted, from `plainTaken_` on
  std::size_t plainTaken_ = 0;
};

}  // namespace

std::unique_ptr<TlsContext> MakeTlsContext(const TlsOptions& options, TlsRefusal* refusal) {
  StorePtr roots;
  HCERTCHAINENGINE engine = nullptr;
  if (options.caPem) {
    roots = ReadPemCertificates(*options.caPem);
    engine = roots ? MakeExclusiveEngine(roots.get()) : nullptr;
    if (engine == nullptr) {
      *refusal = {"CAFile", "cannot be read"};
      return nullptr;
    }
  }
  CredHandle credentials;
  const SECURITY_STATUS status =
      AcquireCredentials(AllowedProtocols(options.minVersion), &credentials);
  if (status != SEC_E_OK) {
    if (engine != nullptr) ::CertFreeCertificateChainEngine(engine);
    *refusal = options.minVersion == TlsVersion::k1_3
                   ? TlsRefusal{"MinVersion", "TLS 1.3 is not offered by this system"}
                   : TlsRefusal{"Enabled", kReasonNoSession};
    return nullptr;
  }
  return std::make_unique<SchannelContext>(credentials, std::move(roots), engine, options);
}

std::unique_ptr<Transport> MakeTlsTransport(SocketHandle socket, TlsContext& context,
                                            const char* host, std::uint16_t /*port*/) {
  return std::make_unique<SchannelTransport>(socket, static_cast<SchannelContext&>(context), host);
}

bool DescribeTlsPeer(Transport& transport, TlsPeer* peer) {
  const auto* tls = dynamic_cast<const SchannelTransport*>(&transport);
  return tls != nullptr && tls->Describe(peer);
}

}  // namespace zcv::platform
