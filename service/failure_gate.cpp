// Failure gate state changes; every field is atomic, and the busy flag is
// taken by compare-and-exchange so exactly one call is admitted at a time.
#include "service/failure_gate.h"

namespace zcv {

bool FailureGate::Admit(std::time_t now, bool* holdsBusy, bool* firstAfterWait) {
  *holdsBusy = false;
  if (firstAfterWait != nullptr) *firstAfterWait = false;
  if (failures_.load() <= 2) return true;
  // Signed, so a clock set back keeps refusing.
  if (static_cast<long long>(now) - tripTime_.load() < kGateWindowSeconds) return false;
  int expected = 0;
  if (!busy_.compare_exchange_strong(expected, 1)) return false;
  *holdsBusy = true;
  const bool first = closedUnseen_.exchange(false);
  if (firstAfterWait != nullptr) *firstAfterWait = first;
  return true;
}

void FailureGate::RecordReply(bool holdsBusy) {
  failures_.exchange(0);
  closedUnseen_.store(false);
  Release(holdsBusy);
}

bool FailureGate::RecordRanOut(std::time_t now, bool holdsBusy) {
  // Only the step to exactly two records the time: later failures do not
  // re-arm the window.
  const int failures = failures_.fetch_add(1) + 1;
  if (failures == 2) tripTime_.store(now);
  const bool closes = failures == 3;
  if (closes) closedUnseen_.store(true);
  Release(holdsBusy);
  return closes;
}

void FailureGate::RecordException(bool holdsBusy) { Release(holdsBusy); }

void FailureGate::Release(bool holdsBusy) {
  // Only the admitted call clears the flag, so a call that started before
  // the gate closed cannot let a second one through.
  if (holdsBusy) busy_.exchange(0);
}

}  // namespace zcv
