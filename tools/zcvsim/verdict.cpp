// Names and meanings of the simulator's verdicts.
#include "zcvsim/verdict.h"

#include <iterator>

namespace zcv::sim {
namespace {

constexpr VerdictInfo kVerdicts[] = {
    {Verdict::kAccepted, "accepted", "request accepted"},
    {Verdict::kUnknownCard, "unknown-card", "no card with this number (or service number)"},
    {Verdict::kWrongPassword, "wrong-password",
     "one-time password (or the pair of consecutive ones) does not match"},
    {Verdict::kCardNotEnabled, "not-enabled", "card has not been put into service yet"},
    {Verdict::kCardLost, "card-lost", "card is reported lost"},
    {Verdict::kCardDisabled, "card-disabled", "card is out of service"},
    {Verdict::kCardExpired, "card-expired", "card's expiry time has passed"},
    {Verdict::kAlreadyBound, "already-bound", "card is already bound to this account"},
    {Verdict::kTooManyBindings, "too-many-bindings", "card already has 10 bindings"},
    {Verdict::kBindingNotFound, "binding-not-found", "card is not bound to this account"},
    {Verdict::kServiceNoMismatch, "service-no-mismatch",
     "service number does not belong to the card"},
    {Verdict::kBadArgument, "bad-argument",
     "a query key is missing, a number is malformed or a text is too long"},
    {Verdict::kAlreadyEnabled, "already-enabled", "card is already in service"},
    {Verdict::kCardNotLost, "not-lost", "card is not reported lost"},
    {Verdict::kWrongReservedPassword, "wrong-reserved-password",
     "reserved password does not match the binding"},
    {Verdict::kIdCodeMismatch, "id-code-mismatch",
     "identity code differs from the holder's registered document number"},
    {Verdict::kReplacementUnavailable, "replacement-unavailable",
     "replacement card is unknown or not new"},
    {Verdict::kAlreadyLinked, "already-linked", "card already has a link of this kind"},
    {Verdict::kInternalError, "internal-error", "the simulator's database failed"},
};

}  // namespace

const VerdictInfo* VerdictTable(std::size_t* count) {
  *count = std::size(kVerdicts);
  return kVerdicts;
}

}  // namespace zcv::sim
