# Cross-building the Windows program on Linux with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64), and running the Windows binaries under Wine.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The -posix compilers are used because the win32 thread model lacks
# std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLBRANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLBRANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLBRANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLBRANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLBRANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and try_run start the Windows binaries through Wine:
# - in a prefix of the build tree's own, never the user's ~/.wine; it is
#   created afresh by the first test of each CTest run (tests/CMakeLists.txt);
# - headless: console programs need no display, and none is offered;
# - with Wine's diagnostics off, so that none is taken for the program's
#   output;
# - without Mono and Gecko, which the prefix would otherwise ask for.
set(QUILLBRANE_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
  env -u DISPLAY -u WAYLAND_DISPLAY
  WINEPREFIX=${QUILLBRANE_WINE_PREFIX}
  WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml=
  wine
)
