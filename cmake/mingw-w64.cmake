# Cross-builds Windows x64 programs with Debian's mingw-w64 (POSIX threads
# flavour, for std::thread) and runs them under Wine where the build or the
# tests must start one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that needs no DLL beside it: the C and C++ runtimes and the thread
# library are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# GCC 12 at -O3 warns of an overlapping copy inside std::string that cannot
# happen (a false -Wrestrict, fatal with warnings as errors); -O2 is clean.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of the optimized build")

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
