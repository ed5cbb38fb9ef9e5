# Cross build for 32-bit x86 (Debian's i386, baseline i686) with Debian's
# multiarch packages: i686-linux-gnu-g++ and the :i386 libraries.
#   cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake
# The programs run natively where the kernel runs 32-bit x86 programs (IA32
# emulation), otherwise under qemu-i386, which loads the :i386 libraries
# from /. The test discovery runs them too, right after linking. With
# -DVEXA_I386_EMULATOR=ON they run under qemu-i386 anyway, so that path can
# be proven on any host; OFF never uses it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(VEXA_DEB_ARCHITECTURE i386)
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)

set(VEXA_I386_EMULATOR AUTO CACHE STRING "Run the i386 programs under qemu-i386: AUTO, ON or OFF")
# This file is read again for every compiler check; the answer is kept in
# the environment of this cmake process so that the probe runs once.
if(NOT DEFINED ENV{VEXA_I386_NEEDS_EMULATOR})
  set(needs OFF)
  if(VEXA_I386_EMULATOR STREQUAL "ON")
    set(needs ON)
  elseif(VEXA_I386_EMULATOR STREQUAL "AUTO")
    set(probe ${CMAKE_BINARY_DIR}/CMakeFiles/i386-probe)
    file(WRITE ${probe}.c "int main(void) { return 0; }\n")
    execute_process(COMMAND ${CMAKE_C_COMPILER} ${probe}.c -o ${probe}
                    RESULT_VARIABLE built OUTPUT_QUIET ERROR_QUIET)
    if(NOT built EQUAL 0)
      message(FATAL_ERROR "${CMAKE_C_COMPILER} cannot build a program: install g++-i686-linux-gnu")
    endif()
    execute_process(COMMAND ${probe} RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
    if(NOT ran EQUAL 0)
      set(needs ON)
      message(STATUS "This machine runs no i386 programs (${ran}): they run under qemu-i386")
    endif()
  elseif(NOT VEXA_I386_EMULATOR STREQUAL "OFF")
    message(FATAL_ERROR "VEXA_I386_EMULATOR is AUTO, ON or OFF, not '${VEXA_I386_EMULATOR}'")
  endif()
  set(ENV{VEXA_I386_NEEDS_EMULATOR} ${needs})
endif()
if($ENV{VEXA_I386_NEEDS_EMULATOR})
  find_program(VEXA_QEMU_I386 qemu-i386)
  if(NOT VEXA_QEMU_I386)
    message(FATAL_ERROR "The i386 programs need qemu-i386 here: install qemu-user")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXA_QEMU_I386} -L /)
endif()
