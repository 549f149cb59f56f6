// The four-state scan that turns the header lines of a response head into
// entries of a header list.
#pragma once

#include "http/header_list.h"

namespace zcv {

// Scans `length` bytes: the header lines up to and including the "\r" that
// starts the head's closing "\r\n\r\n". nullptr when every line was stored
// (new names beyond 256 are dropped), otherwise the failure reason.
const char* HttpScanHeaderLines(HttpHeaderList* headers, const char* bytes, int length);

}  // namespace zcv
