// A host program as existing Windows hosts are: it loads zephyrcoilvault.dll
// with LoadLibrary and calls the operations through the MSVC-decorated
// names. Each argument is one command; each command prints one line.
//   resolve                     how many of the DLL's names resolve
//   auth <card> <password>      TokenAuth: result and expiry text
//   status <card>               TokenStatus: result, status and expiry text
//   bindinfo <card> <password>  TokenBindInfoQuery: result, count and rows
//   bindother <card> <password> TokenBindOther: result and reserved password
//   timed <command>             the command's line, then " in <ms> ms"
#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "exported_names.h"
#include "zephyrcoilvault.h"

namespace {

using Auth = ResultCode (*)(int, int, char*);
using Status = ResultCode (*)(int, int&, char*);
using BindInfo = ResultCode (*)(int, int, int*, pTokenBindInfo*);

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

// Text of a fixed-size field, which may lack its terminator.
std::string Field(const char* bytes, std::size_t size) {
  return std::string(bytes, strnlen(bytes, size));
}

std::string Run(HMODULE module, const std::string& command) {
  constexpr char kTimed[] = "timed ";
  if (command.compare(0, sizeof kTimed - 1, kTimed) == 0) {
    const ULONGLONG start = ::GetTickCount64();
    const std::string line = Run(module, command.substr(sizeof kTimed - 1));
    return line + " in " + std::to_string(::GetTickCount64() - start) + " ms";
  }
  std::istringstream words(command);
  std::string verb;
  int card = 0, password = 0;
  words >> verb >> card >> password;
  std::ostringstream out;
  if (verb == "resolve") {
    int resolved = 0;
    for (const char* name : kExportNames) resolved += ::GetProcAddress(module, name) != nullptr;
    out << "resolved " << resolved;
  } else if (verb == "auth") {
    char expireText[zcv::kExpireTextBytes] = {};
    out << Resolve<Auth>(module, ZCV_WINDOWS_NAME(TokenAuth))(card, password, expireText) << ' '
        << expireText;
  } else if (verb == "status") {
    char expireText[zcv::kExpireTextBytes] = {};
    int cardStatus = -1;
    const ResultCode code =
        Resolve<Status>(module, ZCV_WINDOWS_NAME(TokenStatus))(card, cardStatus, expireText);
    out << code << ' ' << cardStatus << ' ' << expireText;
  } else if (verb == "bindinfo") {
    int rowCount = -1;
    pTokenBindInfo rows[zcv::kMaxBindRows] = {};
    out << Resolve<BindInfo>(module, ZCV_WINDOWS_NAME(TokenBindInfoQuery))(card, password,
                                                                           &rowCount, rows)
        << ' ' << rowCount;
    for (int i = 0; i < rowCount && i < zcv::kMaxBindRows; ++i) {
      out << ';' << rows[i].AppNo << ',' << rows[i].AppNo2 << ','
          << Field(rows[i].Account, sizeof rows[i].Account) << ','
          << Field(rows[i].Bindtime, sizeof rows[i].Bindtime);
    }
  } else if (verb == "bindother") {
    char resvPassWord[zcv::kResvPassWordBytes] = {};
    out << Resolve<Auth>(module, ZCV_WINDOWS_NAME(TokenBindOther))(card, password, resvPassWord)
        << ' ' << resvPassWord;
  } else {
    out << "unknown command " << verb;
  }
  return out.str();
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
