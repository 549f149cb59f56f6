// What a test does when a tool it needs is missing from this machine: in a
// CI run (CI=true in the environment) it fails, saying what to install, so
// that a run which could not test everything does not pass; elsewhere it
// reports a skip with the same text.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace zcv::test {

inline bool InCi() {
  const char* ci = std::getenv("CI");
  if (ci == nullptr) return false;
  const std::string value(ci);
  return value == "true" || value == "TRUE" || value == "True" || value == "1" || value == "yes";
}

}  // namespace zcv::test

// Ends the running test: a failure in CI, a skip elsewhere.
#define ZCV_MISSING_TOOL(message)                           \
  do {                                                      \
    if (::zcv::test::InCi()) {                              \
      GTEST_FAIL() << "CI run, cannot test: " << (message); \
    } else {                                                \
      GTEST_SKIP() << (message);                            \
    }                                                       \
  } while (0)
