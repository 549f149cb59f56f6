// A minimal DNS responder: one question per query, answers from the table.
#include "tests/support/dns_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <stdexcept>

namespace zcv::test {
namespace {

constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kTypeAaaa = 28;
constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kDatagramBytes = 512;

void Put16(std::string* out, std::uint16_t value) {
  out->push_back(static_cast<char>(value >> 8));
  out->push_back(static_cast<char>(value & 0xff));
}

}  // namespace

DnsServer::DnsServer(std::map<std::string, std::vector<std::string>> records, bool silent,
                     const char* bindAddress)
    : records_(std::move(records)), silent_(silent), bindAddress_(bindAddress) {
  const bool v6 = bindAddress_.find(':') != std::string::npos;
  socket_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_storage address{};
  socklen_t length = 0;
  if (v6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    ::inet_pton(AF_INET6, bindAddress, &in6->sin6_addr);
    length = sizeof *in6;
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
    in4->sin_family = AF_INET;
    ::inet_pton(AF_INET, bindAddress, &in4->sin_addr);
    length = sizeof *in4;
  }
  if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe(wake_) != 0) {
    throw std::runtime_error("DnsServer: no socket");
  }
  port_ = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                   : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  thread_ = std::thread([this] { Run(); });
}

DnsServer::~DnsServer() {
  if (::write(wake_[1], "x", 1) < 0) {
    // The thread then ends at its next query; nothing else to do.
  }
  thread_.join();
  ::close(socket_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

std::string DnsServer::server() const {
  const bool v6 = bindAddress_.find(':') != std::string::npos;
  return (v6 ? "[" + bindAddress_ + "]" : bindAddress_) + ":" + std::to_string(port_);
}

void DnsServer::Run() {
  for (;;) {
    pollfd entries[2] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0 || entries[1].revents != 0) return;
    unsigned char query[kDatagramBytes];
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    const ssize_t size = ::recvfrom(socket_, query, sizeof query, 0,
                                    reinterpret_cast<sockaddr*>(&peer), &peerLength);
    if (size < static_cast<ssize_t>(kHeaderBytes)) continue;
    ++queries_;
    if (silent_) continue;
    // The question: labels, then its type and class.
    std::size_t at = kHeaderBytes;
    std::string name;
    while (at < static_cast<std::size_t>(size) && query[at] != 0) {
      const std::size_t label = query[at];
      if (at + 1 + label > static_cast<std::size_t>(size)) break;
      if (!name.empty()) name += '.';
      for (std::size_t i = 0; i < label; ++i) {
        name += static_cast<char>(std::tolower(query[at + 1 + i]));
      }
      at += 1 + label;
    }
    if (at + 5 > static_cast<std::size_t>(size)) continue;
    const std::uint16_t type = static_cast<std::uint16_t>(query[at + 1] << 8 | query[at + 2]);
    const std::size_t questionEnd = at + 5;

    const auto found = records_.find(name);
    std::vector<std::string> answers;
    if (found != records_.end()) {
      for (const std::string& text : found->second) {
        unsigned char bytes[16];
        if (type == kTypeA && ::inet_pton(AF_INET, text.c_str(), bytes) == 1) {
          answers.emplace_back(reinterpret_cast<char*>(bytes), 4);
        } else if (type == kTypeAaaa && ::inet_pton(AF_INET6, text.c_str(), bytes) == 1) {
          answers.emplace_back(reinterpret_cast<char*>(bytes), 16);
        }
      }
    }
    std::string reply(reinterpret_cast<char*>(query), 2);  // the query's id
    Put16(&reply, found == records_.end() ? 0x8183 : 0x8180);
    Put16(&reply, 1);
    Put16(&reply, static_cast<std::uint16_t>(answers.size()));
    Put16(&reply, 0);
    Put16(&reply, 0);
    reply.append(reinterpret_cast<char*>(query) + kHeaderBytes, questionEnd - kHeaderBytes);
    for (const std::string& data : answers) {
      Put16(&reply, 0xc00c);  // the question's name
      Put16(&reply, type);
      Put16(&reply, 1);
      Put16(&reply, 0);
      Put16(&reply, 60);
      Put16(&reply, static_cast<std::uint16_t>(data.size()));
      reply += data;
    }
    ::sendto(socket_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&peer),
             peerLength);
  }
}

}  // namespace zcv::test
