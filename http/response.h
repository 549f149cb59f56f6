// HttpResponse: what was read of the answer: status code, headers and body.
#pragma once

#include <vector>

#include "http/header_list.h"

namespace zcv {

struct HttpResponse {
  int statusCode = 0;
  HttpHeaderList headers;
  // The body followed by one zero byte that `bodyLength` does not count;
  // empty while no body has been stored.
  std::vector<char> body;
  int bodyLength = 0;
  int contentLength = 0;  // the announced length when that frames the body
};

}  // namespace zcv
