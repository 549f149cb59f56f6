// System message texts through FormatMessageA: the last error's text for the
// exception log lines, and socket error texts for the HTTP client's reasons.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/error_text.h"
#include "platform/socket.h"

namespace zcv::platform {
namespace {

// Language neutral with the default sublanguage (0x0400).
constexpr DWORD kLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// The system's text for `code` without its trailing line end; empty when the
// system has none. Inserts are left as they stand: there are no arguments.
std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, kLanguage, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  return message;
}

// The words of this library for the errors a connection commonly meets,
// the same as on other systems.
const char* OwnErrorText(int error) {
  switch (error) {
    case WSAECONNREFUSED:
      return "connection refused";
    case WSAECONNRESET:
    case WSAECONNABORTED:
      return "connection reset";
    case WSAENETUNREACH:
      return "network unreachable";
    case WSAEHOSTUNREACH:
      return "host unreachable";
    case WSAETIMEDOUT:
      return "timed out";
    case WSAEADDRNOTAVAIL:
      return "no local address for it";
    case WSAEAFNOSUPPORT:
      return "address family not supported here";
    default:
      return nullptr;
  }
}

}  // namespace

std::string LastErrorText() {
  const DWORD code = ::GetLastError();
  std::string text = SystemMessage(code);
  // A bare line feed: the log is written in text mode, which makes it CR LF.
  if (!text.empty()) text += '\n';
  return text;
}

const char* ErrorNumberText(int error, char* buffer, std::size_t size) {
  if (size == 0) return buffer;
  if (const char* own = OwnErrorText(error)) {
    std::snprintf(buffer, size, "%s", own);
    return buffer;
  }
  std::string text = SystemMessage(static_cast<DWORD>(error));
  if (text.empty()) {
    std::snprintf(buffer, size, "Windows Sockets error %d", error);
    return buffer;
  }
  std::strncpy(buffer, text.c_str(), size - 1);
  buffer[size - 1] = '\0';
  return buffer;
}

}  // namespace zcv::platform
