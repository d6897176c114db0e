# Cross-compiles for IBM Z Linux (big-endian, 128-bit product) and runs the
# result under qemu. Debian: g++-s390x-linux-gnu qemu-user-static, and after
# dpkg --add-architecture s390x: libgtest-dev:s390x libgmp-dev:s390x pkgconf:s390x.
# Usage: cmake --workflow --preset cross-s390x
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(LONGSQRT_CROSS_TRIPLET s390x-linux-gnu)
set(LONGSQRT_CROSS_MULTIARCH s390x-linux-gnu)
set(LONGSQRT_CROSS_QEMU qemu-s390x-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
