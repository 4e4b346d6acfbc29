# Cross-compiles for Windows with Debian's MinGW-w64 (i686); what both toolchains share, the
# compilers' thread model among it, is in mingw-w64-common.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRISVANE_MINGW_TRIPLE i686-w64-mingw32)
# Windows XP (5.1) is the oldest system the program runs on.
set(BRISVANE_WINDOWS_VERSION 5 1)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Lets CTest run the tests under Wine, where the machine runs 32-bit Windows programs
# (scripts/wine32.sh tells).
find_program(BRISVANE_WINE NAMES wine)
if(BRISVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${BRISVANE_WINE})
endif()
