#!/usr/bin/env bash
# The other architectures Debian ships for desktops, cross-built here with
# Debian's multiarch packages: i386 (run natively where this machine runs
# 32-bit x86 programs, else under qemu-i386) and arm64 (under qemu-aarch64).
# For each: the programs and the unit tests built (warnings as errors when
# VEXA_WERROR=ON), the unit tests run, vexa_bench --view run once, and the
# .deb made. On i386 also the GL tests, in a private Xvfb with i386 Mesa.
# Builds go to build-i386/ and build-arm64/, packages to their deb/.
# VEXA_I386_EMULATOR=ON runs the i386 programs under qemu-i386 even where
# they could run natively (OFF never does; AUTO, the default, decides).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --cross

# The emulator a configured build runs its programs under; empty: natively.
emulatorOf() {
  sed -n 's/^VEXA_RUN_PREFIX:INTERNAL=//p' "build-$1/CMakeCache.txt" | tr ';' ' '
}

build() {
  local arch=$1
  cmake -S . -B "build-$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_WERROR="${VEXA_WERROR:-OFF}" "${@:2}" >/dev/null
  local emulator
  emulator=$(emulatorOf "$arch")
  echo "$arch programs run ${emulator:+under }${emulator:-natively}"
  cmake --build "build-$arch" -j "$(nproc)"
}

# The kernel table of the view without inside points; under an emulator on
# 100 x 100 pixels, where arm64's software quadruple precision alone would
# take a minute at full size.
bench() {
  local size=()
  [ -n "$(emulatorOf "$1")" ] && size=(--size 100)
  scripts/run_built.sh "build-$1" vexa_bench --view "${size[@]}"
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
build i386 -DVEXA_I386_EMULATOR="${VEXA_I386_EMULATOR:-AUTO}"
scripts/run_built.sh build-i386 tests/vexa_unit_tests --gtest_brief=1
scripts/gl_tests.sh build-i386
bench i386
package i386

echo "== arm64"
build arm64
scripts/run_built.sh build-arm64 tests/vexa_unit_tests --gtest_brief=1
bench arm64
package arm64
echo "cross builds: i386 and arm64 passed"
