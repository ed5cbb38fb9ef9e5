# Cross build for 32-bit ARM without a floating-point unit (ARMv5TE, soft
# float) (Debian's armel).
#   cmake -S . -B build-armel -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armel.cmake
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
vexa_cross_toolchain(armel arm-linux-gnueabi armv5tel arm)
