# Cross-compiles for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64).
# Usage: cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake -DLONGSQRT_TESTS=OFF
# The test suite's libraries, GoogleTest and GMP, are built for Windows by
# tests/windows/deps into a prefix that LONGSQRT_TARGET_PREFIX names.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LONGSQRT_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model: the program's threads need std::thread and
# std::mutex, which the win32 model of Debian 12's g++ 12 lacks. The
# package installs both models; -static links its winpthreads in.
set(CMAKE_C_COMPILER ${LONGSQRT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LONGSQRT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LONGSQRT_MINGW_PREFIX}-windres)

# Headers and libraries come from the mingw-w64 sysroot only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${LONGSQRT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# ... and the prefix of the libraries built for this target, whose pkg-config
# files are then the only ones pkg-config reads (never the host's). The
# compile checks read this file too, and must see the same prefix: the
# environment they leave is the configure's own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LONGSQRT_TARGET_PREFIX)
if(LONGSQRT_TARGET_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${LONGSQRT_TARGET_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} ${LONGSQRT_TARGET_PREFIX}/lib/pkgconfig)
else()
  set(ENV{PKG_CONFIG_LIBDIR} /usr/${LONGSQRT_MINGW_PREFIX}/lib/pkgconfig)
endif()

# Lets CMake run the built programs (for example in tests) through Wine.
find_program(LONGSQRT_WINE wine)
if(LONGSQRT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LONGSQRT_WINE})
endif()
