# Cross build for 32-bit MIPS, little-endian (Debian's mipsel).
#   cmake -S . -B build-mipsel -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mipsel.cmake
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
vexa_cross_toolchain(mipsel mipsel-linux-gnu mips mipsel)
