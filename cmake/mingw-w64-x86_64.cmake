# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix thread
# model, for std::thread) and running the tests under wine64:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# ctest then runs every test executable through wine64; the runtime DLLs of
# the compiler (libstdc++, libgcc, winpthread) are found through WINEPATH,
# which the test-windows target of the Makefile sets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(EEGMEX_MINGW x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${EEGMEX_MINGW}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${EEGMEX_MINGW}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${EEGMEX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${EEGMEX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(EEGMEX_WINE NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${EEGMEX_WINE})
