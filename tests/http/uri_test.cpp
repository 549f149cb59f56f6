// URI scanner: accepted shapes with their parts, and every refused shape.
#include "http/uri.h"

#include <gtest/gtest.h>

#include <memory>

namespace zcv {
namespace {

using UriPtr = std::unique_ptr<HttpUri>;

UriPtr Parse(const char* text, int* result) {
  UriPtr uri = std::make_unique<HttpUri>();
  *result = HttpUriParse(text, uri.get());
  return uri;
}

struct Accepted {
  const char* text;
  const char* scheme;
  const char* host;
  int port;
  const char* path;
};

TEST(HttpUriTest, AcceptedShapes) {
  const Accepted cases[] = {
      {"http://10.1.2.3:8080/TokenAuth.asp?iCardNo=1&iDynpasswd=2", "http", "10.1.2.3", 8080,
       "/TokenAuth.asp?iCardNo=1&iDynpasswd=2"},
      {"http://example.test", "http", "example.test", 80, "/"},
      {"http://example.test:81", "http", "example.test", 81, "/"},
      {"http://host/a:b", "http", "host", 80, "/a:b"},
      {"http://host/", "http", "host", 80, "/"},
      {"http://host/p?q=%41#frag", "http", "host", 80, "/p?q=%41#frag"},
      {"https://host", "https", "host", 80, "/"},
      {"://host", "", "host", 80, "/"},
      {"http://user@host/x", "http", "user@host", 80, "/x"},
      {"http://host:0/", "http", "host", 0, "/"},
      {"http://host:65535/", "http", "host", 65535, "/"},
      {"http://host:65537/", "http", "host", 1, "/"},  // five digits reduced modulo 65536
      {"http://host:065537", "http", "host", 1, "/"},  // six digits at the end
      {"http://[2001:db8::10]:8080/a?b", "http", "[2001:db8::10]", 8080, "/a?b"},
      {"http://[::1]", "http", "[::1]", 80, "/"},
      {"http://[::1]/x:y", "http", "[::1]", 80, "/x:y"},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.text);
    int result = -2;
    const UriPtr uri = Parse(c.text, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(uri->scheme, c.scheme);
    EXPECT_EQ(uri->host, c.host);
    EXPECT_EQ(uri->port, c.port);
    EXPECT_EQ(uri->path, c.path);
  }
}

TEST(HttpUriTest, RefusedShapes) {
  const char* const cases[] = {
      "",                         // no ":"
      "host/path",                // no ":"
      "http:/host",               // ":" not followed by "//"
      "http:host",                //
      "http://",                  // nothing after "://"
      "http://:80/",              // empty host before ":"
      "http:///path",             // empty host before "/"
      "http://host:/",            // port without digits
      "http://host:",             // port without digits at the end
      "http://host:8a/",          // not a digit
      "http://host:80?x",         // not a digit
      "http://host:123456/path",  // six digits before a path
      "http://[::1",              // no "]"
      "http://[]:80/",            // empty brackets
      "http://[::1]x/",           // neither port nor path after "]"
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    int result = 0;
    Parse(text, &result);
    EXPECT_EQ(result, -1);
  }
  int result = 0;
  Parse(nullptr, &result);
  EXPECT_EQ(result, -1);
}

}  // namespace
}  // namespace zcv
