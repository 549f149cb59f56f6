// The waits an operator may shorten or lengthen in [ServerSet]: connect,
// send and receive per attempt, and the most one call may spend in all.
#pragma once

#include "config/finding.h"
#include "platform/ini_file.h"

namespace zcv {

constexpr int kMinTimeoutSeconds = 1;
constexpr int kMaxTimeoutSeconds = 600;
constexpr int kNoCallTimeout = 0;

// Whole seconds. The connect wait also bounds a name lookup; the send and
// receive waits each bound the whole request and the whole response.
struct AttemptTimeouts {
  int connect = 10;
  int receive = 15;
  int send = 15;
  int call = kNoCallTimeout;  // over all attempts of one call
};

// A host's own waits, each in place of the file's when not 0; every one
// given is within kMinTimeoutSeconds to kMaxTimeoutSeconds.
struct TimeoutOverrides {
  int connect = 0;
  int send = 0;
  int receive = 0;
  int call = 0;
};

void ApplyTimeoutOverrides(const TimeoutOverrides& overrides, AttemptTimeouts* timeouts);

// Reads the optional keys ConnectTimeout, SendTimeout, ReceiveTimeout and
// CallTimeout of section ServerSet into *out; a key left out keeps its
// default. A key given with anything but a whole number of seconds from 1
// to 600 (empty included) adds a fatal finding that names it.
void ReadTimeouts(const platform::IniSection& section, AttemptTimeouts* out,
                  ConfigFindings* findings);

}  // namespace zcv
