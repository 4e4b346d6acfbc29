# What both MinGW-w64 toolchain files share. They set BRISVANE_MINGW_TRIPLE and, in
# BRISVANE_WINDOWS_VERSION, the major and minor version of the oldest Windows the programs
# load on.

# The compilers' thread model. win32, the default, builds the programs as they ship: its runtime
# needs nothing newer than XP, where the posix model's winpthreads imports GetTickCount64 and so
# loads only on Vista and later. No code built for Windows starts a thread or takes a lock
# through the C++ library, but GoogleTest does (std::mutex, which GCC 12's win32 model lacks):
# builds with the tests take posix.
set(BRISVANE_MINGW_THREADS win32 CACHE STRING "MinGW-w64 thread model: win32 or posix")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRISVANE_MINGW_THREADS)
set(CMAKE_C_COMPILER ${BRISVANE_MINGW_TRIPLE}-gcc-${BRISVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${BRISVANE_MINGW_TRIPLE}-g++-${BRISVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${BRISVANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRISVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

list(GET BRISVANE_WINDOWS_VERSION 0 major)
list(GET BRISVANE_WINDOWS_VERSION 1 minor)
math(EXPR winnt "(${major} << 8) | ${minor}" OUTPUT_FORMAT HEXADECIMAL)

# The headers declare only what that Windows has, so that a newer call fails to compile rather
# than the program failing to load there.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=${winnt} -DWINVER=${winnt}")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=${winnt} -DWINVER=${winnt}")
set(CMAKE_RC_FLAGS_INIT "-D_WIN32_WINNT=${winnt} -DWINVER=${winnt}")

# -static links the runtime in, so that the .exe files run without MinGW DLLs beside them; the
# PE header asks for the oldest Windows, not the linker's default.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--major-os-version,${major},--minor-os-version,${minor},--major-subsystem-version,${major},--minor-subsystem-version,${minor}")
# The static C++ runtime brings its debug information along; what ships carries none.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT -s)
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT -s)
unset(major)
unset(minor)
unset(winnt)
