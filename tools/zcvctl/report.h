// How zcvctl shows a result: its meaning, the outputs of an accepted
// request (as text or as JSON) and the exit status.
#pragma once

#include <ostream>
#include <string>

#include "zcvctl/operations.h"

namespace zcv::ctl {

// Exit status of each kind of result.
constexpr int kExitAccepted = 0;
constexpr int kExitVerdict = 1;
constexpr int kExitNoAnswer = 2;  // 1011 and 1012: the library's own results
constexpr int kExitUsage = 64;    // the command line itself was wrong

// "accepted", "argument refused", "no usable answer" or "service verdict".
std::string ResultMeaning(ResultCode code);
int ExitStatus(ResultCode code);

void PrintText(std::ostream& os, const Operation& op, ResultCode code, const Outputs& out);
// One JSON object on one line. Bytes of the outputs that are not UTF-8
// appear as U+FFFD, one for each maximal ill-formed sequence.
void PrintJson(std::ostream& os, const Operation& op, ResultCode code, const Outputs& out);

}  // namespace zcv::ctl
