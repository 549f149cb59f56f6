# Cross-compiles the 32-bit Windows DLL and its tests with Debian's i686
# mingw-w64 compiler. Tests run under 32-bit Wine through tools/wine-run.sh.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZCV_MINGW_PREFIX i686-w64-mingw32)
set(ZCV_WINDOWS_BITS 32)
set(ZCV_WINDOWS_ARCH x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
