// Certificates made at test time: a test CA and the server certificates
// the TLS tests need, as PEM text, and key pins in the configuration's form.
#pragma once

#include <string>

namespace zcv::test {

struct Credential {
  std::string certificatePem;  // the server's, then any the server sends after it
  std::string keyPem;
};

// Made once per process (key generation is the slow part) and shared.
struct TestPki {
  std::string caPem;      // the test CA that signs the server certificates
  Credential ip;          // 127.0.0.1
  Credential ipv6;        // ::1
  Credential localhost;   // DNS name localhost
  Credential expired;     // 127.0.0.1, validity ended yesterday
  Credential otherName;   // DNS name other.example
  Credential selfSigned;  // 127.0.0.1, signed by its own key
  Credential otherCa;     // 127.0.0.1, issued by a CA that is nowhere trusted
  Credential chained;     // 127.0.0.1, issued by an intermediate of the test CA,
                          // which follows it in certificatePem
  Credential unchained;   // the same without the intermediate
  std::string ipPin;      // base64 SHA-256 of ip's SubjectPublicKeyInfo
  std::string otherPin;   // the same of an unrelated key
};

const TestPki& Pki();

}  // namespace zcv::test
