# Cross-compiles for Windows with Debian's MinGW-w64 (x86_64). The -posix compilers give
# std::thread and std::mutex; -static links their runtime in, so the .exe files run under Wine
# without MinGW DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRISVANE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRISVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRISVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRISVANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRISVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Lets CTest run the tests under 64-bit Wine, when it is there.
find_program(BRISVANE_WINE NAMES wine64 wine)
if(BRISVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${BRISVANE_WINE})
endif()
