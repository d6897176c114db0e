# Cross-compiles for 32-bit x86 Linux (little-endian, no 128-bit product, no
# AVX2 forms) and runs the result under qemu. Debian: g++-i686-linux-gnu
# qemu-user-static, and after dpkg --add-architecture i386:
# libgtest-dev:i386 libgmp-dev:i386 pkgconf:i386.
# Usage: cmake --workflow --preset cross-i686
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LONGSQRT_CROSS_TRIPLET i686-linux-gnu)
set(LONGSQRT_CROSS_MULTIARCH i386-linux-gnu)
set(LONGSQRT_CROSS_QEMU qemu-i386-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
