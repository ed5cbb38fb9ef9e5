#!/usr/bin/env bash
# Configures and builds vexa, its tests and its benchmark into build/.
# VEXA_WERROR=ON in the environment turns compiler warnings into errors.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_WERROR="${VEXA_WERROR:-OFF}" >/dev/null
cmake --build build -j "$(nproc)"
