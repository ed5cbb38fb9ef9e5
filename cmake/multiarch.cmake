# What both cross toolchains share: pkg-config files come from the target's
# multiarch directory only, never from the build machine's (FindGLUT asks
# pkg-config first, and would otherwise link amd64's libglut). Libraries and
# package files are looked up under /usr/lib/<multiarch triplet> through
# CMAKE_LIBRARY_ARCHITECTURE.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
