# Cross-compiling for 64-bit Windows with Debian's MinGW-w64
# (g++-mingw-w64-x86-64-posix): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The same file builds Qt for Windows (scripts/qt-mingw.sh) and the program
# against it: a Qt prefix given as -DCMAKE_FIND_ROOT_PATH=... is searched
# besides the MinGW-w64 tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_target x86_64-w64-mingw32)
# The posix thread model first: GCC 12's win32 model has no std::thread.
find_program(CMAKE_C_COMPILER NAMES ${mingw_target}-gcc-posix ${mingw_target}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${mingw_target}-g++-posix ${mingw_target}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${mingw_target}-windres)

# Headers and libraries from the MinGW-w64 tree and the given prefixes only;
# programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${mingw_target})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
