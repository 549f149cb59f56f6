// DnsServer: the tests' own name server on UDP, answering A and AAAA
// queries from a fixed table (NXDOMAIN for a name not in it), or staying
// silent. Its thread is stopped and joined on destruction. Linux only.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace zcv::test {

class DnsServer {
 public:
  // `records`: name (lower case, no final dot) to its address texts, IPv4
  // and IPv6 mixed. `bindAddress` is where it listens, port chosen by the
  // system.
  explicit DnsServer(std::map<std::string, std::vector<std::string>> records, bool silent = false,
                     const char* bindAddress = "127.0.0.1");
  ~DnsServer();
  DnsServer(const DnsServer&) = delete;
  DnsServer& operator=(const DnsServer&) = delete;

  // "address:port", as ResolverOptions::servers takes it.
  std::string server() const;
  int queries() const { return queries_.load(); }

 private:
  void Run();

  std::map<std::string, std::vector<std::string>> records_;
  bool silent_;
  std::string bindAddress_;
  int socket_ = -1;
  int wake_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::atomic<int> queries_{0};
  std::thread thread_;
};

}  // namespace zcv::test
