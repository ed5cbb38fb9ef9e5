#!/usr/bin/env bash
# Runs a build's GL tests in a private Xvfb on Mesa's software rasterizer:
# all of them, then the no-extension cases again on a Mesa told to hide
# both vertex-program extensions, as CTest does. A cross build's tests run
# under its emulator where it has one.
#   scripts/gl_tests.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
display="-screen 0 1280x1024x24 +extension GLX"
export LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "$display" scripts/run_built.sh "$dir" tests/vexa_gl_tests --gtest_brief=1 \
  --gtest_filter=-GpuWithoutExtension.*
MESA_EXTENSION_OVERRIDE="-GL_ARB_vertex_program -GL_NV_vertex_program" \
  xvfb-run -a -s "$display" scripts/run_built.sh "$dir" tests/vexa_gl_tests --gtest_brief=1 \
  --gtest_filter=GpuWithoutExtension.*
