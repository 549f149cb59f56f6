// The failure gate of the authentication operations: after three calls in a
// row that found no server, calls are refused for a while, then admitted one
// at a time until one of them obtains a readable reply.
#pragma once

#include <atomic>
#include <ctime>

namespace zcv {

constexpr std::time_t kGateWindowSeconds = 150;

class FailureGate {
 public:
  // Whether a call may go to the servers. A call admitted in the one-at-a-
  // time state holds the gate's busy flag until it reports its outcome;
  // *holdsBusy tells the caller so. *firstAfterWait is true for the first
  // call admitted after the gate closed and its window passed.
  bool Admit(std::time_t now, bool* holdsBusy, bool* firstAfterWait = nullptr);

  // A readable reply, whatever the verdict, opens the gate fully.
  void RecordReply(bool holdsBusy);
  // A call that ran out of servers; the second in a row arms the window.
  // True when it is the third, which closes the gate.
  bool RecordRanOut(std::time_t now, bool holdsBusy);
  // An exception ends the call without counting it.
  void RecordException(bool holdsBusy);

  int failures() const { return failures_.load(); }
  bool busy() const { return busy_.load() != 0; }

 private:
  void Release(bool holdsBusy);

  std::atomic<int> failures_{0};
  std::atomic<int> busy_{0};
  std::atomic<long long> tripTime_{0};
  std::atomic<bool> closedUnseen_{false};  // closed, and no call admitted since
};

}  // namespace zcv
