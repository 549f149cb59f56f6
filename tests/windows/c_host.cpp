// A host of the C interface that links the zip's import library instead of
// resolving names: it builds only if the library covers the C functions by
// their linker names, and runs only if the DLL exports them by their plain
// names.
#include <cstdio>

#include "zephyrcoilvault/client.h"

int main() {
  std::printf("%s|%s\n", zcv_version(), zcv_result_text(ZCV_ACCEPTED));
  return 0;
}
