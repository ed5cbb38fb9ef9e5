#!/usr/bin/env bash
# Sets up, builds and runs every test. Tests that need a display get a
# private Xvfb (started by xvfb-run on a free display, stopped afterwards).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
cd build
# llvmpipe needs no GPU; pin it so that a host driver never answers instead.
export LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" \
  ctest --output-on-failure --timeout 300 "$@"
