// The DLL's entry point. The C runtime has created the module's objects
// (mutex, log, server list) before this runs; then Windows Sockets 1.1 is
// started, and a module whose sockets cannot start refuses to load.
#include <winsock2.h>

namespace {

constexpr WORD kSocketVersion = MAKEWORD(1, 1);
constexpr wchar_t kSocketStartFailed[] = L"Windows 通信端口初始化失败。";

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      WSADATA data;
      if (::WSAStartup(kSocketVersion, &data) != 0) {
        ::MessageBoxW(nullptr, kSocketStartFailed, nullptr, MB_OK | MB_ICONERROR);
        return FALSE;
      }
      return TRUE;
    }
    case DLL_PROCESS_DETACH:
      ::WSACleanup();
      return TRUE;
    default:
      return TRUE;
  }
}
