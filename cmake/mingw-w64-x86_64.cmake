# Cross-builds Segweld for 64-bit Windows with MinGW-w64 (posix threads) and
# runs what it builds (tests, generators) through Wine.
#
#   cmake -S . -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DCMAKE_PREFIX_PATH="$(scripts/windows-deps)"

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
set(CMAKE_AR ${mingw_triplet}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${mingw_triplet}-ranlib CACHE FILEPATH "")

# Libraries and headers come from the MinGW tree and from the prefixes given
# on the command line (the cached wxMSW, libpng and GoogleTest), never from the
# Linux system; programs (wx-config, windres) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# 64-bit file offsets in the C library's own calls, and a program that needs no
# DLL beside it: the compiler's runtime and the thread library are linked in.
add_compile_definitions(_FILE_OFFSET_BITS=64 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Debian's MinGW zlib comes as a DLL and as a static library: take the static one.
set(ZLIB_USE_STATIC_LIBS ON)
