// Creation and destruction of the response record.
#include "http/response.h"

namespace zcv {

HttpResponse* HttpResponseCreate() { return new HttpResponse; }

void HttpResponseDestroy(HttpResponse* response) { delete response; }

}  // namespace zcv
