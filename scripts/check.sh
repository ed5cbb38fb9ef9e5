#!/usr/bin/env bash
# The deeper checks CI runs after the tests: the unit and GL tests under the
# address, undefined-behaviour and thread sanitizers, a soak of the running
# program, a fuzzing run of the vertex-program translator, and the Debian
# package judged by lintian. Expects scripts/test.sh to have built build/ first.
#   scripts/check.sh [SOAK_MINUTES [FUZZ_SECONDS]]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --checks
[ -x build/vexa ] || scripts/build.sh
scripts/sanitize.sh
scripts/soak.sh "${1:-1}"
scripts/fuzz.sh "${2:-60}"
scripts/package_check.sh
