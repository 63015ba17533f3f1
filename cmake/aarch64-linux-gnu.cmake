# Cross-compiling for ARM64 Linux with Debian's aarch64-linux-gnu toolchain and the arm64
# libraries of a multiarch install (scripts/arm64-check.sh sets both up).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr/lib/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# The multiarch install's own loader (/lib/ld-linux-aarch64.so.1) with its own C library: the
# cross toolchain's copy under /usr/aarch64-linux-gnu is another build of it, and a loader of one
# with the library of the other hangs at the first thread the program starts.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
