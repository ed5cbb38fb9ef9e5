# Cross build for 64-bit MIPS, little-endian (Debian's mips64el).
#   cmake -S . -B build-mips64el -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mips64el.cmake
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
vexa_cross_toolchain(mips64el mips64el-linux-gnuabi64 mips64 mips64el)
