// A host program as existing Windows hosts are: it loads zephyrcoilvault.dll
// with LoadLibrary and calls the operations through their MSVC-decorated
// names. Each argument is one command; each command prints one line.
//   resolve                     how many of the DLL's names resolve
//   <operation> <word>...       the operation, as tests/windows/host_calls.h
//                               describes
//   timed <command>             the command's line, then " in <ms> ms"
#include <windows.h>

#include <cstdio>
#include <string>

#include "exported_names.h"
#include "host_calls.h"
#include "zephyrcoilvault.h"

namespace {

constexpr char kModule[] = "zephyrcoilvault.dll";
// Every name the DLL exports, as hosts resolve them.
constexpr const char* kExportNames[] = {
#define ZCV_WINDOWS_EXPORT(name, elf, windows) windows,
    ZCV_EXPORTED_OPERATIONS(ZCV_WINDOWS_EXPORT) ZCV_EXPORTED_JAVA_NATIVES(ZCV_WINDOWS_EXPORT)
        ZCV_EXPORTED_C_FUNCTIONS(ZCV_WINDOWS_EXPORT)
            ZCV_EXPORTED_JAVA_CLIENT_NATIVES(ZCV_WINDOWS_EXPORT)
#undef ZCV_WINDOWS_EXPORT
};

template <typename Function>
Function Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

std::string Run(HMODULE module, const std::string& command) {
  constexpr char kTimed[] = "timed ";
  if (command.compare(0, sizeof kTimed - 1, kTimed) == 0) {
    const ULONGLONG start = ::GetTickCount64();
    const std::string line = Run(module, command.substr(sizeof kTimed - 1));
    return line + " in " + std::to_string(::GetTickCount64() - start) + " ms";
  }
  std::vector<std::string> words = zcv::test::HostWords(command);
  const std::string verb = words.empty() ? "" : words.front();
  if (!words.empty()) words.erase(words.begin());
  if (verb == "resolve") {
    int resolved = 0;
    for (const char* name : kExportNames) resolved += ::GetProcAddress(module, name) != nullptr;
    return "resolved " + std::to_string(resolved);
  }
#define ZCV_CALL_RESOLVED(name, elf, windows) \
  if (verb == #name) return zcv::test::HostCall(Resolve<decltype(&::name)>(module, windows), words);
  ZCV_EXPORTED_OPERATIONS(ZCV_CALL_RESOLVED)
#undef ZCV_CALL_RESOLVED
  return "unknown command " + verb;
}

}  // namespace

int main(int argc, char** argv) {
  HMODULE module = ::LoadLibraryA(kModule);
  if (module == nullptr) {
    std::printf("cannot load %s: error %lu\n", kModule, ::GetLastError());
    return 2;
  }
  for (int i = 1; i < argc; ++i) std::printf("%s\n", Run(module, argv[i]).c_str());
  std::fflush(stdout);
  // Unloading writes the rotated server list back.
  ::FreeLibrary(module);
  return 0;
}
