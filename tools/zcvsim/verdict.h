// The simulator's verdicts: 9999 for an accepted request and codes of its
// own for each refusal, never the library's 1011 and 1012.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zcv::sim {

enum class Verdict : std::uint32_t {
  kAccepted = 9999,
  kUnknownCard = 2001,
  kWrongPassword = 2002,
  kCardNotEnabled = 2003,
  kCardLost = 2004,
  kCardDisabled = 2005,
  kCardExpired = 2006,
  kAlreadyBound = 2007,
  kTooManyBindings = 2008,
  kBindingNotFound = 2009,
  kServiceNoMismatch = 2010,
  kBadArgument = 2011,
  kAlreadyEnabled = 2012,
  kCardNotLost = 2013,
  kWrongReservedPassword = 2014,
  kIdCodeMismatch = 2015,
  kReplacementUnavailable = 2016,
  kAlreadyLinked = 2017,
  kInternalError = 2099,
};

struct VerdictInfo {
  Verdict verdict;
  const char* name;     // short name for listings
  const char* meaning;  // one line for the README and `zcvsim verdicts`
};

// Every verdict in code order, kAccepted first.
const VerdictInfo* VerdictTable(std::size_t* count);

inline std::uint32_t Code(Verdict v) { return static_cast<std::uint32_t>(v); }

}  // namespace zcv::sim
