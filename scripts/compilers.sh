#!/usr/bin/env bash
# The builds CI adds beside the README's: everything with clang and with
# GCC's Release flags, warnings as errors in both, and the unit tests of
# each. Builds go to build-clang/ and build-release/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --checks

build() {
  local dir=$1 compiler=$2 type=$3
  CXX=$compiler cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DVEXA_WERROR=ON >/dev/null
  cmake --build "$dir" -j "$(nproc)"
  "$dir"/tests/vexa_unit_tests --gtest_brief=1
}

build build-clang clang++ RelWithDebInfo
build build-release g++ Release
echo "clang and Release builds: no warning, unit tests passed"
