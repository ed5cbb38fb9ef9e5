# Cross build for IBM Z, 64-bit and big-endian (Debian's s390x).
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-s390x.cmake
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
vexa_cross_toolchain(s390x s390x-linux-gnu s390x s390x)
