# Cross-compiles the 64-bit Windows DLL and its tests with Debian's x86_64
# mingw-w64 compiler. Tests run under 64-bit Wine through tools/wine-run.sh.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZCV_MINGW_PREFIX x86_64-w64-mingw32)
set(ZCV_WINDOWS_BITS 64)
set(ZCV_WINDOWS_ARCH x64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
