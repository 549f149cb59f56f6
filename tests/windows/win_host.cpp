// A host program as existing Windows hosts are: it loads zephyrcoilvault.dll
// with LoadLibrary and calls the operations through the MSVC-decorated
// names. Each argument is one command; each command prints one line.
//   resolve                     how many of the DLL's 32 names resolve
//   auth <card> <password>      TokenAuth: result and expiry text
//   status <card>               TokenStatus: result, status and expiry text
//   bindinfo <card> <password>  TokenBindInfoQuery: result, count and rows
//   bindother <card> <password> TokenBindOther: result and reserved password
#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "zephyrcoilvault.h"

namespace {

using Auth = ResultCode (*)(int, int, char*);
using Status = ResultCode (*)(int, int&, char*);
using BindInfo = ResultCode (*)(int, int, int*, pTokenBindInfo*);

constexpr char kModule[] = "zephyrcoilvault.dll";
constexpr char kAuthName[] = "?TokenAuth@@YAIHHPAD@Z";
constexpr char kStatusName[] = "?TokenStatus@@YAIHAAHPAD@Z";
constexpr char kBindInfoName[] = "?TokenBindInfoQuery@@YAIHHPAHPAUpTokenBindInfo@@@Z";
constexpr char kBindOtherName[] = "?TokenBindOther@@YAIHHPAD@Z";

constexpr const char* kExportNames[] = {
    "?TokenAuth@@YAIHHPAD@Z",
    "?TokenAuth2@@YAIHHPAD@Z",
    "?TokenAuth2Next@@YAIHHHPAD@Z",
    "?TokenBinding@@YAIHHHHPAD0@Z",
    "?TokenBinding2@@YAIHHHHPAD0@Z",
    "?TokenBinding2Next@@YAIHHHHHPAD0@Z",
    "?TokenUnBinding@@YAIHPADHHH0@Z",
    "?TokenUnBinding2@@YAIHPADHHH0@Z",
    "?TokenUnBinding2Next@@YAIHPADHHHH0@Z",
    "?TokenUnBindingEx@@YAIHHHPAD@Z",
    "?TokenUnBindingEx2@@YAIHHHPAD0@Z",
    "?TokenEnable@@YAIPADH0H0000000@Z",
    "?TokenEnableNext@@YAIPADHH0H0000000@Z",
    "?TokenDisable@@YAIHPAD0HH00@Z",
    "?TokenLoss@@YAIHPADHHH00@Z",
    "?TokenUnLoss@@YAIHPADH0@Z",
    "?TokenUnLossNext@@YAIHPADHH0@Z",
    "?TokenBindInfoQuery@@YAIHHPAHPAUpTokenBindInfo@@@Z",
    "?TokenBindInfoQueryNext@@YAIHHHPAHPAUpTokenBindInfo@@@Z",
    "?TokenStatus@@YAIHAAHPAD@Z",
    "?TokenChange@@YAIHPAD0H@Z",
    "?TokenChangeNext@@YAIHPAD0HH@Z",
    "?TokenModifyInfo@@YAIHHPADH000000@Z",
    "?TokenModifyInfoNext@@YAIHHHPADH000000@Z",
    "?TokenBindEsale@@YAIHHPAD@Z",
    "?TokenBindEsaleNext@@YAIHHHPAD@Z",
    "?TokenBindOther@@YAIHHPAD@Z",
    "?TokenBindOtherNext@@YAIHHHPAD@Z",
    "_Java_vantor_mira_Zephyrcoilvault_TokenAuth2@20",
    "_Java_vantor_mira_Zephyrcoilvault_TokenAuth2Next@24",
    "_Java_vantor_mira_Zephyrcoilvault_TokenBindOther@20",
    "_Java_vantor_mira_Zephyrcoilvault_TokenBindOtherNext@24",
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
    out << Resolve<Auth>(module, kAuthName)(card, password, expireText) << ' ' << expireText;
  } else if (verb == "status") {
    char expireText[zcv::kExpireTextBytes] = {};
    int cardStatus = -1;
    const ResultCode code = Resolve<Status>(module, kStatusName)(card, cardStatus, expireText);
    out << code << ' ' << cardStatus << ' ' << expireText;
  } else if (verb == "bindinfo") {
    int rowCount = -1;
    pTokenBindInfo rows[zcv::kMaxBindRows] = {};
    out << Resolve<BindInfo>(module, kBindInfoName)(card, password, &rowCount, rows) << ' '
        << rowCount;
    for (int i = 0; i < rowCount && i < zcv::kMaxBindRows; ++i) {
      out << ';' << rows[i].AppNo << ',' << rows[i].AppNo2 << ','
          << Field(rows[i].Account, sizeof rows[i].Account) << ','
          << Field(rows[i].Bindtime, sizeof rows[i].Bindtime);
    }
  } else if (verb == "bindother") {
    char resvPassWord[zcv::kResvPassWordBytes] = {};
    out << Resolve<Auth>(module, kBindOtherName)(card, password, resvPassWord) << ' '
        << resvPassWord;
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
