#!/usr/bin/env bash
# Every other architecture Debian 12 releases, cross-built here with
# Debian's multiarch packages: i386 (run natively where this machine runs
# 32-bit x86 programs, else under qemu-i386), and arm64, armhf, armel,
# ppc64el, s390x, mips64el and mipsel under qemu-user.
# For each: the programs and the unit tests built (warnings as errors when
# VEXA_WERROR=ON), then the unit tests run, as many architectures at once as
# there are cores, then vexa_bench --view run once and the .deb made and
# judged by lintian. On i386 also the GL tests, in a private Xvfb with i386 Mesa;
# on armhf and s390x the tests run again on a processor without the vector
# unit (NEON, vector float).
# Builds go to build-<arch>/, packages to their deb/.
# VEXA_I386_EMULATOR=ON runs the i386 programs under qemu-i386 even where
# they could run natively (OFF never does; AUTO, the default, decides).
#   scripts/cross.sh [--full] [ARCH...]
# Under the emulator the kernels' tests take minutes per architecture, so
# the six newer ones run a named subset (QuickTests) unless --full is given.
set -euo pipefail
cd "$(dirname "$0")/.."
full=no
if [ "${1:-}" = "--full" ]; then
  full=yes
  shift
fi
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(i386 arm64 armhf armel ppc64el s390x mips64el mipsel)
scripts/setup.sh --cross

# What the six run in CI: everything but the form tests that repeat every
# kernel's rows at more widths (the fallback, rows of several pieces and
# every number of vectors in flight besides the one chosen) and mode 2's
# long double forms against each other, which in software arithmetic take
# minutes under an emulator. The digests of the plain forms against amd64's,
# every form against its plain form on every view, the frame, the buffer,
# the palette and the program texts all stay.
QuickTests='-*FallingBackMatchesTheFourLaneLoop*:*EveryNumberOfVectorsInFlight*'
QuickTests+=':*MatchesTheReferenceOnRowsOfSeveralPieces*:FpuAsm/FormCounts.*'

# The emulator a configured build runs its programs under; empty: natively.
emulatorOf() {
  sed -n 's/^VEXA_RUN_PREFIX:INTERNAL=//p' "build-$1/CMakeCache.txt" | tr ';' ' '
}

# The programs, the unit tests and the manual pages; on i386 also the GL
# tests. The package installs what these targets built, without building
# every other test first.
build() {
  local arch=$1 targets=(--target vexa vexa_bench vexa_unit_tests vexa_gzipped)
  cmake -S . -B "build-$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_WERROR="${VEXA_WERROR:-OFF}" \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${@:2}" >/dev/null
  local emulator
  emulator=$(emulatorOf "$arch")
  echo "$arch programs run ${emulator:+under }${emulator:-natively}"
  [ "$arch" = i386 ] && targets=()
  cmake --build "build-$arch" -j "$(nproc)" "${targets[@]}"
}

unitTests() {
  local arch=$1 subset=()
  shift
  if [ "$full" = no ] && [ "$arch" != i386 ] && [ "$arch" != arm64 ]; then
    subset=(--gtest_filter="$QuickTests")
    echo "$arch: the unit tests but the slowest form tests (scripts/cross.sh --full runs them)"
  fi
  scripts/run_built.sh "build-$arch" tests/vexa_unit_tests --gtest_brief=1 "${subset[@]}" "$@"
}

# The kernel table of the view without inside points; under an emulator on
# 100 x 100 pixels, where software quadruple precision alone would take a
# minute at full size.
bench() {
  local size=()
  [ -n "$(emulatorOf "$1")" ] && size=(--size 100)
  scripts/run_built.sh "build-$1" vexa_bench --view "${size[@]}"
}

# The package, with its dependencies worked out by dpkg-shlibdeps for that
# architecture (it reads the host architecture from DEB_HOST_ARCH), judged
# by lintian.
package() {
  local arch=$1
  DEB_HOST_ARCH=$arch scripts/package_check.sh "build-$arch"
  dpkg-deb -f "build-$arch"/deb/vexa_*_"$arch".deb Package Version Architecture Depends | sed 's/^/  /'
}

# One test run: an architecture's unit tests (on i386 also the GL tests,
# the one architecture whose Mesa draws them here), or a second run on a
# processor without the vector unit.
testRun() {
  case $1 in
    i386) unitTests i386 && scripts/gl_tests.sh build-i386 ;;
    # qemu's Cortex-R5F: ARMv7 with a VFPv3-D16 and no NEON, as some boards are.
    armhf-without-neon) QEMU_CPU=cortex-r5f unitTests armhf ;;
    # qemu's processor without the z14's vector enhancements: vectors, as on
    # the z13, but no vector float.
    s390x-without-vector-float) QEMU_CPU=max,vxeh=off unitTests s390x ;;
    *) unitTests "$1" ;;
  esac
}

# Waits for the next test run to end and shows its output whole.
endOneRun() {
  local finished status=0
  wait -n -p finished || status=$?
  running=$((running - 1))
  echo "== ${nameOf[$finished]}: tests $([ $status = 0 ] && echo passed || echo FAILED)" \
    "in $(($(date +%s) - startOf[$finished])) s"
  cat "$logs/${nameOf[$finished]}.log"
  [ $status = 0 ] || failed+=("${nameOf[$finished]}")
}

# The test runs, as many at once as there are cores: each takes one, most
# under an emulator, and together they are most of this script's time. The
# longest start first.
testRuns() {
  local name logs running=0
  local -A nameOf startOf
  logs=$(mktemp -d)
  for name in armel ppc64el arm64 s390x armhf mips64el mipsel i386 s390x-without-vector-float \
    armhf-without-neon; do
    [[ " ${arches[*]} " == *" ${name%%-*} "* ]] || continue
    [ "$running" -lt "$(nproc)" ] || endOneRun
    testRun "$name" >"$logs/$name.log" 2>&1 &
    nameOf[$!]=$name
    startOf[$!]=$(date +%s)
    running=$((running + 1))
  done
  while [ "$running" -gt 0 ]; do
    endOneRun
  done
  rm -rf "$logs"
}

phase() {
  echo "== $1 took $(($(date +%s) - $2)) s"
}

begun=$(date +%s)
for arch in "${arches[@]}"; do
  echo "== $arch: build"
  if [ "$arch" = i386 ]; then
    build i386 -DVEXA_I386_EMULATOR="${VEXA_I386_EMULATOR:-AUTO}"
  else
    build "$arch"
  fi
done
phase "building" "$begun"

begun=$(date +%s)
failed=()
testRuns
phase "testing" "$begun"
if [ ${#failed[@]} -gt 0 ]; then
  echo "cross builds FAILED their tests: ${failed[*]}"
  exit 1
fi

begun=$(date +%s)
for arch in "${arches[@]}"; do
  echo "== $arch: vexa_bench and the package"
  bench "$arch"
  package "$arch"
done
phase "benchmarks and packages" "$begun"
echo "cross builds passed: ${arches[*]}"
