# Cross-builds Tarnwick for 64-bit Windows with Debian's MinGW-w64 (the
# POSIX-threads flavour, for std::thread):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/MinGW-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARGET_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARGET_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARGET_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARGET_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARGET_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in: the program runs on a Windows machine with nothing else installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)
# Libraries found by pkg-config are the cross compiler's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TARGET_PREFIX}/lib/pkgconfig)
# Tests run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
