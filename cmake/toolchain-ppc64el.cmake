# Cross build for 64-bit POWER, little-endian (POWER8 with VSX) (Debian's
# ppc64el).
#   cmake -S . -B build-ppc64el -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-ppc64el.cmake
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
vexa_cross_toolchain(ppc64el powerpc64le-linux-gnu ppc64le ppc64le)
