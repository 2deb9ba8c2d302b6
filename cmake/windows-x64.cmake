# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix-threads variant, which
# std::thread and std::jthread need). Programs built here run under Wine on this machine:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/windows-x64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KBCFG_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KBCFG_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KBCFG_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KBCFG_MINGW}-windres)

# Libraries, headers and packages only from the MinGW tree, never the host's; tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KBCFG_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Built programs (tests, generated files) run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

# The runtime (libgcc, libstdc++, winpthread) linked in, so an .exe or a device library runs
# without the MinGW DLLs beside it, and Wine needs no WINEPATH.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Release at -O2 as the Linux build: GCC 12's -O3 warns falsely of overlapping copies inside
# std::string (-Wrestrict), which -Werror turns into a failed build.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release: -O2, as the Linux build")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release: -O2, as the Linux build")
