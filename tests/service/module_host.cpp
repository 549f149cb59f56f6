// module_host DIR [INI_TEXT]: the child process of the module tests. In DIR
// it loads the test copy of the library, calls TokenAuth once, then (with
// INI_TEXT) rewrites DIR's INI file while the library is loaded, unloads,
// and exits with the call's result modulo 256; 101 to 103 when the library
// could not be loaded. A program of its own, started by posix_spawn, so that
// the child never inherits a lock that a thread of the test held.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "exported_names.h"
#include "zephyrcoilvault.h"

int main(int argc, char** argv) {
  if (argc < 2 || chdir(argv[1]) != 0) return 101;
  void* module = dlopen(ZCV_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return 102;
  using AuthFunction = ResultCode (*)(int, int, char*);
  auto auth = reinterpret_cast<AuthFunction>(dlsym(module, ZCV_ELF_NAME(TokenAuth)));
  if (auth == nullptr) return 103;
  char expireText[20] = {};
  const int status = static_cast<int>(auth(1, 2, expireText) % 256);
  if (argc > 2) std::ofstream("cfgfile.ini", std::ios::binary) << argv[2];
  dlclose(module);
  // exit, not _exit: should the module stay loaded, its unload still runs.
  std::exit(status);
}
