// module_host DIR [INI_TEXT | --exit-mid-call | --c-only]: the child process
// of the module tests. In DIR it loads the test copy of the library, calls
// TokenAuth once, then (with INI_TEXT) rewrites DIR's INI file while the
// library is loaded, unloads, and exits with the call's result modulo 256;
// 101 to 103 when the library could not be loaded. With --exit-mid-call it
// instead starts threads that call TokenAuth without end, waits until one
// byte arrives on its standard input (sent by the test once its server has
// received the threads' requests, so they are mid-call) and calls exit():
// it exits with 7 unless the unload crashes or hangs, 8 when no byte came
// within kGoAheadLimitMs. With --c-only it calls only the C interface: opens
// a client on DIR's c.ini, calls zcv_auth, closes, unloads and exits with the
// result modulo 256. A program of its own, started by posix_spawn, so that
// the child never inherits a lock that a thread of the test held.
#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "exported_names.h"
#include "zephyrcoilvault.h"
#include "zephyrcoilvault/client.h"

namespace {

template <typename Function>
Function Resolve(void* module, const char* name) {
  return reinterpret_cast<Function>(dlsym(module, name));
}

int CInterfaceOnly(void* module) {
  const auto open = Resolve<decltype(&zcv_client_open)>(module, "zcv_client_open");
  const auto auth = Resolve<decltype(&zcv_auth)>(module, "zcv_auth");
  const auto close = Resolve<decltype(&zcv_client_close)>(module, "zcv_client_close");
  if (open == nullptr || auth == nullptr || close == nullptr) return 103;
  zcv_client* client = open("c.ini", nullptr, 0, nullptr, 0);
  if (client == nullptr) return 104;
  char expireText[ZCV_EXPIRE_TEXT_BYTES] = {};
  const int status = static_cast<int>(auth(client, 1, 2, expireText, sizeof expireText) % 256);
  close(client);
  dlclose(module);
  return status;
}

constexpr int kGoAheadLimitMs = 30000;

// One byte on standard input within the limit.
bool GoAhead() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  char byte = 0;
  return poll(&input, 1, kGoAheadLimitMs) == 1 && read(STDIN_FILENO, &byte, 1) == 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || chdir(argv[1]) != 0) return 101;
  void* module = dlopen(ZCV_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return 102;
  if (argc > 2 && std::strcmp(argv[2], "--c-only") == 0) std::exit(CInterfaceOnly(module));
  using AuthFunction = ResultCode (*)(int, int, char*);
  auto auth = reinterpret_cast<AuthFunction>(dlsym(module, ZCV_ELF_NAME(TokenAuth)));
  if (auth == nullptr) return 103;
  if (argc > 2 && std::strcmp(argv[2], "--exit-mid-call") == 0) {
    constexpr int kThreads = 4;
    for (int i = 0; i < kThreads; ++i) {
      std::thread([auth] {
        char text[20];
        for (;;) auth(1, 2, text);
      }).detach();
    }
    std::exit(GoAhead() ? 7 : 8);
  }
  char expireText[20] = {};
  const int status = static_cast<int>(auth(1, 2, expireText) % 256);
  if (argc > 2) std::ofstream("cfgfile.ini", std::ios::binary) << argv[2];
  dlclose(module);
  // exit, not _exit: should the module stay loaded, its unload still runs.
  std::exit(status);
}
