// zcvctl --repeat: one operation called many times on one client, to see
// what the client's settings (KeepAlive, TLS resumption) cost per call.
#pragma once

#include <map>
#include <optional>
#include <ostream>

#include "zcvctl/operations.h"

namespace zcv::ctl {

// The most calls one invocation makes.
constexpr long kMaxRepeat = 1000000;

struct RepeatSummary {
  long calls = 0;
  std::map<ResultCode, long> results;  // calls per result code
  // Distinct TCP sockets the process held open between calls (the kept
  // connections); empty where the process's descriptors cannot be listed.
  std::optional<long> keptConnections;
  double cpuMicros = 0;         // the process's CPU time spent in the calls
  double wallMicros = 0;        // wall time spent in the calls
  double wallMedianMicros = 0;  // the median call's wall time
};

// Calls `op` `count` times on `call`; the time taken to look at the
// process's sockets between calls is not counted.
RepeatSummary Repeat(const Operation& op, Call& call, long count);

// The exit status of the summary: that of the worst result seen.
int RepeatExitStatus(const RepeatSummary& summary);

void PrintRepeatText(std::ostream& os, const Operation& op, const RepeatSummary& summary);
void PrintRepeatJson(std::ostream& os, const Operation& op, const RepeatSummary& summary);

}  // namespace zcv::ctl
