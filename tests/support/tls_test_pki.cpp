// The test PKI built with OpenSSL's API: P-256 keys (quick to make), X.509 v3
// certificates with subject alternative names, all kept as PEM text.
#include "tests/support/tls_test_pki.h"

#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace zcv::test {
namespace {

constexpr long kDay = 24 * 3600;
constexpr long kValidity = 30 * kDay;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertificatePtr = std::unique_ptr<X509, CertificateFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test PKI: ") + what + " failed");
}

KeyPtr NewKey() {
  KeyPtr key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key generation");
  return key;
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  Check(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1, "an extension");
  X509_EXTENSION_free(extension);
}

// Whether both halves of the certificate's ECDSA signature fill all 32
// bytes. Wine's chain check refuses, as a bad signature, about one in a
// hundred of those that do not (a half with a leading zero byte), which
// made the Windows TLS tests fail now and then; such a certificate is
// signed again.
bool FullLengthSignature(const X509* certificate) {
  const ASN1_BIT_STRING* signature = nullptr;
  X509_get0_signature(&signature, nullptr, certificate);
  const unsigned char* der = ASN1_STRING_get0_data(signature);
  ECDSA_SIG* halves = d2i_ECDSA_SIG(nullptr, &der, ASN1_STRING_length(signature));
  if (halves == nullptr) return false;
  const BIGNUM* r = nullptr;
  const BIGNUM* s = nullptr;
  ECDSA_SIG_get0(halves, &r, &s);
  const bool full = BN_num_bytes(r) == 32 && BN_num_bytes(s) == 32;
  ECDSA_SIG_free(halves);
  return full;
}

// A certificate for `key`, signed by `issuerKey` under `issuer` (itself
// when null). `altName` is an OpenSSL subjectAltName value, or null for a CA.
CertificatePtr Issue(EVP_PKEY* key, const char* commonName, const char* altName, X509* issuer,
                     EVP_PKEY* issuerKey, long notBefore, long notAfter) {
  static long serial = 1;
  CertificatePtr certificate(X509_new());
  X509* c = certificate.get();
  Check(X509_set_version(c, 2) == 1, "the version");
  ASN1_INTEGER_set(X509_get_serialNumber(c), serial++);
  X509_gmtime_adj(X509_getm_notBefore(c), notBefore);
  X509_gmtime_adj(X509_getm_notAfter(c), notAfter);
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509_set_issuer_name(c, X509_get_subject_name(issuer != nullptr ? issuer : c));
  X509_set_pubkey(c, key);
  X509* signer = issuer != nullptr ? issuer : c;
  if (altName == nullptr) {
    AddExtension(c, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(c, signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(c, signer, NID_subject_alt_name, altName);
    AddExtension(c, signer, NID_ext_key_usage, "serverAuth");
  }
  bool signedInFull = false;
  for (int attempt = 0; attempt < 64 && !signedInFull; ++attempt) {
    Check(X509_sign(c, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0, "signing");
    signedInFull = FullLengthSignature(c);
  }
  Check(signedInFull, "a signature of full length");
  return certificate;
}

std::string Drain(BIO* bio) {
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<std::size_t>(length));
}

std::string CertificatePem(X509* certificate) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  Check(PEM_write_bio_X509(bio.get(), certificate) == 1, "writing a certificate");
  return Drain(bio.get());
}

Credential MakeCredential(X509* certificate, EVP_PKEY* key) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  Check(PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
        "writing a key");
  return Credential{CertificatePem(certificate), Drain(bio.get())};
}

std::string PinOf(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key, &der);
  Check(length > 0, "encoding a public key");
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  EVP_Digest(der, static_cast<std::size_t>(length), digest, &digestLength, EVP_sha256(), nullptr);
  OPENSSL_free(der);
  unsigned char text[64] = {};
  EVP_EncodeBlock(text, digest, static_cast<int>(digestLength));
  return reinterpret_cast<char*>(text);
}

TestPki MakePki() {
  TestPki pki;
  KeyPtr caKey = NewKey();
  CertificatePtr ca =
      Issue(caKey.get(), "zcv test CA", nullptr, nullptr, nullptr, -kDay, kValidity);
  pki.caPem = CertificatePem(ca.get());
  // One server key serves every CA-signed certificate; the pin tests tell
  // keys apart by `ipPin` against `otherPin`.
  KeyPtr serverKey = NewKey();
  auto signedBy = [&](const char* altName, long notBefore, long notAfter) {
    CertificatePtr certificate = Issue(serverKey.get(), "zcv test server", altName, ca.get(),
                                       caKey.get(), notBefore, notAfter);
    return MakeCredential(certificate.get(), serverKey.get());
  };
  pki.ip = signedBy("IP:127.0.0.1", -kDay, kValidity);
  pki.ipv6 = signedBy("IP:::1", -kDay, kValidity);
  pki.localhost = signedBy("DNS:localhost", -kDay, kValidity);
  pki.expired = signedBy("IP:127.0.0.1", -2 * kDay, -kDay);
  pki.otherName = signedBy("DNS:other.example", -kDay, kValidity);
  KeyPtr selfKey = NewKey();
  CertificatePtr self =
      Issue(selfKey.get(), "zcv self-signed", "IP:127.0.0.1", nullptr, nullptr, -kDay, kValidity);
  pki.selfSigned = MakeCredential(self.get(), selfKey.get());
  KeyPtr otherCaKey = NewKey();
  CertificatePtr otherCa =
      Issue(otherCaKey.get(), "zcv other CA", nullptr, nullptr, nullptr, -kDay, kValidity);
  CertificatePtr byOtherCa = Issue(serverKey.get(), "zcv test server", "IP:127.0.0.1",
                                   otherCa.get(), otherCaKey.get(), -kDay, kValidity);
  pki.otherCa = MakeCredential(byOtherCa.get(), serverKey.get());
  KeyPtr intermediateKey = NewKey();
  CertificatePtr intermediate = Issue(intermediateKey.get(), "zcv test intermediate", nullptr,
                                      ca.get(), caKey.get(), -kDay, kValidity);
  CertificatePtr byIntermediate =
      Issue(serverKey.get(), "zcv test server", "IP:127.0.0.1", intermediate.get(),
            intermediateKey.get(), -kDay, kValidity);
  pki.unchained = MakeCredential(byIntermediate.get(), serverKey.get());
  pki.chained = pki.unchained;
  pki.chained.certificatePem += CertificatePem(intermediate.get());
  pki.ipPin = PinOf(serverKey.get());
  pki.otherPin = PinOf(selfKey.get());
  return pki;
}

}  // namespace

const TestPki& Pki() {
  static const TestPki pki = MakePki();
  return pki;
}

}  // namespace zcv::test
