# Cross build for 32-bit ARM with hardware floating point, ARMv7 with
# VFPv3-D16; NEON is optional and found at run time (Debian's armhf).
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
vexa_cross_toolchain(armhf arm-linux-gnueabihf armv7l arm)
