#!/usr/bin/env bash
# The other architectures Debian ships for desktops, cross-built here with
# Debian's multiarch packages: i386 (run natively) and arm64 (run under
# qemu-aarch64). For each: the programs and the unit tests built (warnings
# as errors when VEXA_WERROR=ON), the unit tests run, vexa_bench --view run
# once, and the .deb made. On i386 also the GL tests, in a private Xvfb with
# i386 Mesa. Builds go to build-i386/ and build-arm64/, packages to their deb/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --cross

build() {
  local arch=$1
  cmake -S . -B "build-$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_WERROR="${VEXA_WERROR:-OFF}" >/dev/null
  cmake --build "build-$arch" -j "$(nproc)"
}

# The package, with its dependencies worked out by dpkg-shlibdeps for that
# architecture (it reads the host architecture from DEB_HOST_ARCH).
package() {
  local arch=$1
  (cd "build-$arch" && DEB_HOST_ARCH=$arch cpack --config CPackConfig.cmake -B deb >/dev/null)
  local deb
  deb=$(ls "build-$arch"/deb/vexa_*_"$arch".deb)
  echo "$deb:"
  dpkg-deb -f "$deb" Package Version Architecture Depends | sed 's/^/  /'
}

echo "== i386"
build i386
build-i386/tests/vexa_unit_tests --gtest_brief=1
scripts/gl_tests.sh build-i386
build-i386/vexa_bench --view
package i386

echo "== arm64"
build arm64
qemu-aarch64 -L / build-arm64/tests/vexa_unit_tests --gtest_brief=1
qemu-aarch64 -L / build-arm64/vexa_bench --view
package arm64
echo "cross builds: i386 and arm64 passed"
