// Header storage with canonical names: lookups ignore ASCII case, and a
// standard name is stored as the table spells it.
#include "http/header_list.h"

namespace zcv {
namespace {

constexpr const char* kStandardHeaderNames[] = {
    "Allow",
    "Content-Encoding",
    "Content-Language",
    "Content-Length",
    "Content-Location",
    "Content-MD5",
    "Content-Range",
    "Content-Type",
    "Expires",
    "Last-Modified",
    "Cache-Control",
    "Connection",
    "Date",
    "Pragma",
    "Transfer-Encoding",
    "Update",
    "Trailer",
    "Via",
    "Accept",
    "Accept-Charset",
    "Accept-Encoding",
    "Accept-Language",
    "Authorization",
    "Expect",
    "From",
    "Host",
    "If-Modified-Since",
    "If-Match",
    "If-None-Match",
    "If-Range",
    "If-Unmodified-Since",
    "Max-Forwards",
    "Proxy-Authorization",
    "Range",
    "Referrer",
    "TE",
    "User-Agent",
    "Accept-Ranges",
    "Age",
    "ETag",
    "Location",
    "Retry-After",
    "Server",
    "Vary",
    "Warning",
    "WWW-Authenticate",
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  }
  return *a == *b;
}

HttpHeaderList* HttpHeaderListCreate() { return new HttpHeaderList(); }

void HttpHeaderListDestroy(HttpHeaderList* list) { delete list; }

const char* HttpStandardHeaderName(const char* name) {
  if (name == nullptr) return nullptr;
  for (const char* standard : kStandardHeaderNames) {
    if (EqualsIgnoringCase(standard, name)) return standard;
  }
  return nullptr;
}

const char* HttpHeaderGet(const HttpHeaderList* list, const char* name) {
  if (list == nullptr || name == nullptr) return nullptr;
  for (std::size_t i = 0; i < kMaxHeaders; ++i) {
    const std::string& stored = list->names[i];
    if (!stored.empty() && EqualsIgnoringCase(stored.c_str(), name)) return list->values[i].c_str();
  }
  return nullptr;
}

int HttpHeaderSet(HttpHeaderList* list, const char* name, const char* value) {
  // An empty name would leave its slot looking free.
  if (list == nullptr || name == nullptr || value == nullptr || *name == '\0') return 0;
  for (std::size_t i = 0; i < kMaxHeaders; ++i) {
    std::string& stored = list->names[i];
    if (stored.empty()) {
      const char* standard = HttpStandardHeaderName(name);
      stored = standard != nullptr ? standard : name;
      list->values[i] = value;
      return 1;
    }
    if (EqualsIgnoringCase(stored.c_str(), name)) {
      list->values[i] = value;
      return 1;
    }
  }
  return 0;
}

int HttpHeaderSetCounted(HttpHeaderList* list, const char* name, int nameLength, const char* value,
                         int valueLength) {
  if (list == nullptr || name == nullptr || value == nullptr || nameLength <= 0 ||
      valueLength < 0) {
    return 0;
  }
  const std::string name_copy(name, static_cast<std::size_t>(nameLength));
  const std::string value_copy(value, static_cast<std::size_t>(valueLength));
  return HttpHeaderSet(list, name_copy.c_str(), value_copy.c_str());
}

}  // namespace zcv
