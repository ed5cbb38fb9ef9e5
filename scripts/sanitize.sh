#!/usr/bin/env bash
# The unit and GL tests built with the address and undefined-behaviour
# sanitizers, and the frame hand-off and frame tests with the thread
# sanitizer, each run in a private Xvfb. Any report fails the script.
# Builds go to build-asan/ and build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."
export LIBGL_ALWAYS_SOFTWARE=1
display="-screen 0 1280x1024x24 +extension GLX"

configure() {
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_SANITIZE="$2" >/dev/null
  cmake --build "$1" -j "$(nproc)" --target "${@:3}"
}

# Mesa leaks a little at exit, and some tests ask for impossible sizes on
# purpose; every other report fails.
configure build-asan address,undefined vexa_unit_tests vexa_gl_tests
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-asan/tests/vexa_unit_tests --gtest_brief=1
scripts/gl_tests.sh build-asan
unset ASAN_OPTIONS UBSAN_OPTIONS

configure build-tsan thread vexa_gl_tests
TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
  xvfb-run -a -s "$display" build-tsan/tests/vexa_gl_tests --gtest_brief=1 \
  --gtest_filter='GlHandOff.*:GlFrame.*'
echo "sanitizers: no report"
