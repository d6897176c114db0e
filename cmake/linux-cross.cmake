# What the Linux cross toolchain files share: Debian's cross compiler for
# LONGSQRT_CROSS_TRIPLET, the libraries of the multiarch directory
# LONGSQRT_CROSS_MULTIARCH (dpkg --add-architecture, then the -dev packages
# for that architecture), the cross pkg-config (the host's would find the
# host's GMP), and qemu user-mode emulation LONGSQRT_CROSS_QEMU to run what is
# built. The programs run on the multiarch runtime in /lib/<multiarch>, so
# qemu gets no -L: with -L /usr/<triplet>, fork() hangs or smashes the stack
# once that runtime is installed.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${LONGSQRT_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${LONGSQRT_CROSS_TRIPLET}-g++)
# Libraries and package files (GoogleTest's) come from /usr/lib/<multiarch>,
# not the host's; the cross compiler looks for headers and libraries there too.
set(CMAKE_LIBRARY_ARCHITECTURE ${LONGSQRT_CROSS_MULTIARCH})

find_program(PKG_CONFIG_EXECUTABLE ${LONGSQRT_CROSS_TRIPLET}-pkg-config)

# Lets CMake, CTest and the tests run the built programs through qemu.
find_program(LONGSQRT_QEMU ${LONGSQRT_CROSS_QEMU})
if(LONGSQRT_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LONGSQRT_QEMU})
endif()
