// A connected socket, plain or with TLS established on it, as a cpp-httplib
// Stream with poll-bounded reads and writes, so the simulator can run cpp-httplib's request
// processing on a connection it has chosen not to sabotage. Like a lenient server, it accepts
// blanks in the request target: the library sends texts unescaped.
#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <string>

namespace zcv::sim {

class SocketStream : public httplib::Stream {
 public:
  // With `ssl` (not owned) the bytes go through TLS on `fd`.
  SocketStream(int fd, int timeout_ms, SSL* ssl = nullptr)
      : fd_(fd), timeout_ms_(timeout_ms), ssl_(ssl) {}

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

 private:
  bool Wait(short events) const;
  // Bytes that TLS has already decrypted count as readable.
  bool Readable() const;
  ssize_t Receive(char* ptr, size_t size);
  // Reads up to the end of the request line and escapes its blanks.
  void ReadRequestLine();

  int fd_;
  int timeout_ms_;
  SSL* ssl_;
  bool line_read_ = false;
  std::string pending_;  // request line bytes not yet handed out
};

// "GET /p?a=1 2 HTTP/1.1\r\n" -> "GET /p?a=1%202 HTTP/1.1\r\n": blanks
// between the method and the version become %20.
std::string EscapeTargetBlanks(const std::string& line);

// Closes at once, without a reply.
void CloseSocket(int fd);
// Closes with SO_LINGER 0, so the peer sees a connection reset.
void ResetSocket(int fd);

}  // namespace zcv::sim
