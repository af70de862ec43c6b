# Cross-builds TABDUMP.EXE for 64-bit Windows with Debian's mingw-w64
# compilers (package g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTABDUMP_TESTS=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TABDUMP_MINGW_PREFIX x86_64-w64-mingw32)
# The posix flavour carries the C++ threading support of the standard library;
# the unsuffixed name is an alternatives link that may point at either flavour.
find_program(CMAKE_CXX_COMPILER NAMES ${TABDUMP_MINGW_PREFIX}-g++-posix ${TABDUMP_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TABDUMP_MINGW_PREFIX}-gcc-posix ${TABDUMP_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${TABDUMP_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TABDUMP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained program: the C and C++ runtimes and winpthread linked in,
# so that it needs no DLL beyond those that come with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
