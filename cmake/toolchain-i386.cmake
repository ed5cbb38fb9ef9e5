# Cross build for 32-bit x86 (Debian's i386, baseline i686) with Debian's
# multiarch packages: i686-linux-gnu-g++ and the :i386 libraries. The
# programs run natively on an amd64 machine with those libraries.
#   cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(VEXA_DEB_ARCHITECTURE i386)
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
