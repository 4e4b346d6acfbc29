# Cross-compiles for Windows with Debian's MinGW-w64 (x86_64); what both toolchains share, the
# compilers' thread model among it, is in mingw-w64-common.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRISVANE_MINGW_TRIPLE x86_64-w64-mingw32)
# Windows XP x64 (5.2), the first 64-bit Windows, is the oldest system it runs on.
set(BRISVANE_WINDOWS_VERSION 5 2)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Lets CTest run the tests under 64-bit Wine, when it is there.
find_program(BRISVANE_WINE NAMES wine64 wine)
if(BRISVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${BRISVANE_WINE})
endif()
