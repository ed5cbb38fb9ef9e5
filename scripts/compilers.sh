#!/usr/bin/env bash
# The builds CI adds beside the README's: everything with clang and with
# GCC's Release flags, warnings as errors in both, and the unit tests of
# each; and a Debug build with every test, in a private Xvfb. Builds go to
# build-clang/, build-release/ and build-debug/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --checks

build() {
  local dir=$1 compiler=$2 type=$3
  CXX=$compiler cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DVEXA_WERROR=ON >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

build build-clang clang++ RelWithDebInfo
build-clang/tests/vexa_unit_tests --gtest_brief=1
build build-release g++ Release
build-release/tests/vexa_unit_tests --gtest_brief=1
build build-debug g++ Debug
(cd build-debug && LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" \
  ctest --output-on-failure --timeout 300)
echo "clang, Release and Debug builds: no warning; clang and Release unit tests and every Debug test passed"
