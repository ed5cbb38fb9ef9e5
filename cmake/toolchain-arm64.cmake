# Cross build for 64-bit ARM (Debian's arm64).
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-arm64.cmake
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
vexa_cross_toolchain(arm64 aarch64-linux-gnu aarch64 aarch64)
