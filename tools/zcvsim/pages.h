// The 28 server pages: each reads its query keys, exactly as the library
// spells them, calls the TokenService and answers with a reply document.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "zcvsim/token_service.h"

namespace zcv::sim {

// Query fields after URL decoding; the first value of a repeated key wins.
using Query = std::map<std::string, std::string>;

struct PageReply {
  int http_status = 200;
  std::string body;
};

// "TokenAuth" and so on, in the order of the protocol's families.
std::vector<std::string> PageNames();

// Runs page `page` (without ".asp"). An unknown page gives 404 and a short
// text body; a known page always gives 200 and a reply document, with
// kBadArgument when a key is missing, a number malformed or a text too long.
PageReply HandlePage(TokenService& service, const std::string& page, const Query& query);

}  // namespace zcv::sim
