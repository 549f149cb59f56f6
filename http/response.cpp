// Creation and destruction of the response record.
#include "http/response.h"

namespace zcv {

HttpResponse* HttpResponseCreate() {
  auto* response = new HttpResponse();
  response->headers = HttpHeaderListCreate();
  return response;
}

void HttpResponseDestroy(HttpResponse* response) {
  if (response == nullptr) return;
  HttpHeaderListDestroy(response->headers);
  delete response;
}

}  // namespace zcv
