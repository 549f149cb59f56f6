# Cross-compiles the 32-bit Windows DLL and its tests with Debian's i686
# mingw-w64 compiler (posix thread model, so std::mutex and std::thread
# exist). Tests run under 32-bit Wine through tools/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZCV_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZCV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZCV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZCV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZCV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go into each binary, so the DLL
# imports only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
