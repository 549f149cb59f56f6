# What both Windows toolchains share: Debian's mingw-w64 compiler for
# ZCV_MINGW_PREFIX (posix thread model, so std::mutex and std::thread exist),
# its sysroot, static runtimes, and Wine as the tests' emulator.
set(CMAKE_SYSTEM_NAME Windows)

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

# tools/wine-run.sh with the Wine loader of this width (32 or 64).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh ${ZCV_WINDOWS_BITS})
