// The XML document a page answers with: Result first, then the outputs of
// an accepted request.
#pragma once

#include <string>

#include "zcvsim/token_service.h"

namespace zcv::sim {

// <TokenReply><Result>..</Result>[ExpireTime][ResvPassWord][CardStatus]
// [RowCount and one <Row> per binding]</TokenReply>; the outputs only with
// kAccepted.
std::string ReplyXml(const Outcome& outcome);

// Escapes the five XML special characters.
std::string XmlEscape(const std::string& text);

}  // namespace zcv::sim
