# Cross-compiles for 64-bit ARM Linux (little-endian, 128-bit product, no AVX2)
# and runs the result under qemu. Debian: g++-aarch64-linux-gnu
# qemu-user-static, and after dpkg --add-architecture arm64:
# libgtest-dev:arm64 libgmp-dev:arm64 pkgconf:arm64.
# Usage: cmake --workflow --preset cross-aarch64
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(LONGSQRT_CROSS_TRIPLET aarch64-linux-gnu)
set(LONGSQRT_CROSS_MULTIARCH aarch64-linux-gnu)
set(LONGSQRT_CROSS_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
