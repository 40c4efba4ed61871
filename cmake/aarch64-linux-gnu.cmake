# Cross-building for 64-bit ARM (a Raspberry Pi 3, 4 or 5 on a 64-bit Debian)
# with Debian's multiarch: the cross compiler of crossbuild-essential-arm64
# and the arm64 builds of the libraries in /usr/lib/aarch64-linux-gnu
# (scripts/bootstrap --arch arm64 installs both). Programs the build or the
# tests run go through qemu's user-mode emulator, named explicitly since the
# kernel may not know arm64 binaries (no binfmt_misc in a container).
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake ...
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The arm64 libraries and their CMake packages sit in the build machine's own
# aarch64-linux-gnu folders (found through CMAKE_LIBRARY_ARCHITECTURE), the
# cross toolchain's in /usr/aarch64-linux-gnu; programs (the broker and the
# bridge the tests start, help2man) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# pkg-config reads the arm64 libraries' .pc files and none of the build
# machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The emulator runs a program with the arm64 C library of the multiarch
# packages (/lib/ld-linux-aarch64.so.1), the one its other libraries were
# built with. Not with the cross toolchain's copy (-L /usr/aarch64-linux-gnu):
# that one can be of another Debian revision, and a dynamic loader and C
# library of two revisions hang the first thread a program starts.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64-static)

# The Debian packages are for the target, not for the machine building them
# (which `dpkg --print-architecture` would name).
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
