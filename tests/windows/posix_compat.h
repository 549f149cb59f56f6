// The few POSIX calls that the shared tests make, for the Windows test
// build; force-included into the shared test sources there.
#pragma once

#include <direct.h>
#include <stdlib.h>
#include <string.h>

inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, strlen(pattern) + 1) != 0) return nullptr;
  return _mkdir(pattern) == 0 ? pattern : nullptr;
}

inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }

// An empty value removes the variable from the C runtime's environment.
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
