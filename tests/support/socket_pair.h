// SocketPair: two connected local stream sockets, one handed to the code
// under test, the other driven by the test, so readers can be fed exact
// bytes without a server.
#pragma once

#include <string>
#include <string_view>

namespace zcv::test {

class SocketPair {
 public:
  SocketPair();
  ~SocketPair();
  SocketPair(const SocketPair&) = delete;
  SocketPair& operator=(const SocketPair&) = delete;

  // The end for the code under test; after ReleaseLocal() the caller owns it.
  int local() const { return local_; }
  int ReleaseLocal();

  // Writes all bytes to the remote end (they must fit the socket's buffer).
  void Write(std::string_view bytes);
  // The local end then reads end-of-file once the written bytes are taken.
  void CloseRemote();
  // Whatever the local end has sent so far, without waiting.
  std::string ReadAvailable();

 private:
  int local_ = -1;
  int remote_ = -1;
};

}  // namespace zcv::test
