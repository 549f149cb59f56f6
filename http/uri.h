// HttpUri: an absolute URI split into scheme, host, port and path by a
// single left-to-right scan; shape is checked, nothing is decoded.
#pragma once

#include <cstdint>
#include <string>

namespace zcv {

constexpr std::uint16_t kDefaultHttpPort = 80;

struct HttpUri {
  std::string scheme;  // before the first ":"; may be empty
  // Never empty once parsed; an IPv6 address keeps its brackets, as the
  // Host header carries it.
  std::string host;
  std::uint16_t port = kDefaultHttpPort;
  std::string path;  // with its query; starts with "/"
};

// 0 accepted and `uri` filled; -1 malformed (`uri` may then hold part of
// the texts).
int HttpUriParse(const char* text, HttpUri* uri);

}  // namespace zcv
