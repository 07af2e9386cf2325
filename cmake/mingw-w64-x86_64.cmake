# Cross-building the tool's core and its tests for 64-bit Windows with Debian's mingw-w64
# (package g++-mingw-w64-x86-64-posix: GCC with POSIX threads, which std::thread needs).
#   cmake -S . -B build/windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
# or the "windows" preset. The programs are linked statically, so they run on Windows, or under
# Wine, without any DLL beside them; ctest runs them under Wine when wine64 is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QZR71_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QZR71_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QZR71_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QZR71_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QZR71_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian installs the 64-bit loader outside PATH.
find_program(QZR71_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QZR71_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QZR71_WINE})
endif()
