# What every cross toolchain shares: pkg-config files come from the target's
# multiarch directory only, never from the build machine's (FindGLUT asks
# pkg-config first, and would otherwise link amd64's libglut). Libraries and
# package files are looked up under /usr/lib/<multiarch triplet> through
# CMAKE_LIBRARY_ARCHITECTURE.
macro(vexa_target_pkg_config)
  set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/pkgconfig:/usr/share/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endmacro()
if(CMAKE_LIBRARY_ARCHITECTURE)  # a toolchain that set it before including this file
  vexa_target_pkg_config()
endif()

# A Debian architecture this machine cannot run, built with Debian's cross
# compiler <triplet>-g++ and its :<arch> libraries. The programs run under
# qemu-<qemu>, which loads those libraries from / (the cross compiler's own
# libc root would mix two builds of glibc).
macro(vexa_cross_toolchain deb_arch triplet processor qemu)
  set(CMAKE_SYSTEM_NAME Linux)
  set(CMAKE_SYSTEM_PROCESSOR ${processor})
  set(CMAKE_C_COMPILER ${triplet}-gcc)
  set(CMAKE_CXX_COMPILER ${triplet}-g++)
  set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu} -L /)
  set(VEXA_DEB_ARCHITECTURE ${deb_arch})
  vexa_target_pkg_config()
endmacro()
