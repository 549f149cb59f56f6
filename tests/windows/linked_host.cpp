// A host that links the DLL at build time through an import library and
// calls the 28 operations as the public header declares them; commands and
// output as win_host's (tests/windows/host_calls.h). Built once against
// libzephyrcoilvault.dll.a, where g++'s names for the declarations import
// the decorated ones, and once with ZCV_HOST_MSVC_NAMES against
// zephyrcoilvault.lib, naming each function as MSVC does, as an MSVC-built
// host refers to it.
#include <cstdio>
#include <string>

#include "exported_names.h"
#include "host_calls.h"
#include "zephyrcoilvault.h"

#ifdef ZCV_HOST_MSVC_NAMES
#define ZCV_MSVC_NAME(name, elf, windows) decltype(name) name __asm__("\"" windows "\"");
ZCV_EXPORTED_OPERATIONS(ZCV_MSVC_NAME)
#undef ZCV_MSVC_NAME
#endif

namespace {

std::string Run(const std::string& command) {
  std::vector<std::string> words = zcv::test::HostWords(command);
  const std::string verb = words.empty() ? "" : words.front();
  if (!words.empty()) words.erase(words.begin());
#define ZCV_CALL_LINKED(name, elf, windows) \
  if (verb == #name) return zcv::test::HostCall(&::name, words);
  ZCV_EXPORTED_OPERATIONS(ZCV_CALL_LINKED)
#undef ZCV_CALL_LINKED
  return "unknown command " + verb;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) std::printf("%s\n", Run(argv[i]).c_str());
  return 0;
}
