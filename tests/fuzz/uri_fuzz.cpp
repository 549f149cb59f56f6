// Fuzz target: the URI scanner on arbitrary bytes. The scanner reads a C
// string, so the input's NUL bytes separate several texts and each is
// scanned: every byte of the input reaches the scanner. A text that parses
// must be made of its parts (the scheme and host where they were written,
// the path its end), and the parts formatted back into a URI must parse to
// the same parts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/uri.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// "scheme://host:port/path": the printed form of a parsed URI.
std::string Format(const zcv::HttpUri& uri) {
  return uri.scheme + "://" + uri.host + ":" + std::to_string(uri.port) + uri.path;
}

void CheckOne(const std::string& text) {
  zcv::HttpUri uri;
  if (zcv::HttpUriParse(text.c_str(), &uri) != 0) return;
  Check(!uri.host.empty());
  // A bracketed host keeps its colons; any other has none.
  if (uri.host.front() == '[') {
    Check(uri.host.size() > 2 && uri.host.back() == ']' &&
          uri.host.find(']') == uri.host.size() - 1);
  } else {
    Check(uri.host.find_first_of(":/") == std::string::npos);
  }
  Check(uri.scheme.find(':') == std::string::npos);
  const std::string authority = uri.scheme + "://" + uri.host;
  Check(StartsWith(text, authority));
  // Without a port written, the default.
  if (text == authority || text == authority + uri.path) Check(uri.port == zcv::kDefaultHttpPort);
  Check(!uri.path.empty() && uri.path[0] == '/');
  // The path is the text's end, or "/" when the text has none.
  Check(EndsWith(text, uri.path) || uri.path == "/");

  zcv::HttpUri again;
  Check(zcv::HttpUriParse(Format(uri).c_str(), &again) == 0);
  Check(again.scheme == uri.scheme && again.host == uri.host && again.port == uri.port &&
        again.path == uri.path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  for (;;) {
    const std::size_t nul = input.find('\0', start);
    CheckOne(std::string(input.substr(start, nul == std::string_view::npos ? nul : nul - start)));
    if (nul == std::string_view::npos) return 0;
    start = nul + 1;
  }
}
