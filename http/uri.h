// HttpUri: an absolute URI split into scheme, host, port and path by a
// single left-to-right scan; shape is checked, nothing is decoded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zcv {

constexpr std::uint16_t kDefaultHttpPort = 80;

struct HttpUri {
  std::optional<std::string> scheme;  // before the first ":"; may be empty
  std::optional<std::string> host;    // never empty once parsed
  std::uint16_t port = kDefaultHttpPort;
  std::optional<std::string> path;  // with its query; starts with "/"
};

// A record with no texts and port 80.
HttpUri* HttpUriCreate();
// 0 accepted and `uri` filled; -1 malformed (`uri` may hold part of the
// texts and is then only fit to be destroyed).
int HttpUriParse(const char* text, HttpUri* uri);
void HttpUriDestroy(HttpUri* uri);

}  // namespace zcv
