# Cross build for 64-bit ARM (Debian's arm64) with Debian's multiarch
# packages: aarch64-linux-gnu-g++ and the :arm64 libraries. The programs
# run here under qemu-aarch64, which loads those libraries from / (the
# cross compiler's own libc root would mix two builds of glibc).
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-arm64.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
set(VEXA_DEB_ARCHITECTURE arm64)
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
