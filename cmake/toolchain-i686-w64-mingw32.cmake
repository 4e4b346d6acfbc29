# Cross-compiles for Windows with Debian's MinGW-w64 (i686). The -posix compilers give
# std::thread and std::mutex; -static links their runtime in, so the .exe files run under Wine
# without MinGW DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(BRISVANE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${BRISVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRISVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRISVANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRISVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# No emulator: running 32-bit programs needs wine32, which we do not install; the tests run
# under Wine from the x86_64 build.
