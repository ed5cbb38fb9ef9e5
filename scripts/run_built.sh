#!/usr/bin/env bash
# Runs a program of a build as its tests run: directly, or under the
# emulator the build's toolchain chose (qemu-aarch64 for arm64, qemu-i386 for
# i386 where this machine runs no 32-bit x86 programs).
#   scripts/run_built.sh BUILD_DIR PROGRAM [ARGUMENTS...]   (PROGRAM relative to BUILD_DIR)
set -euo pipefail
dir=$1 program=$2
shift 2
cache="$dir/CMakeCache.txt"
[ -f "$cache" ] || { echo "run_built: $dir is not a configured build" >&2; exit 2; }
prefix=$(sed -n 's/^VEXA_RUN_PREFIX:INTERNAL=//p' "$cache")
IFS=';' read -r -a runner <<<"$prefix"
exec "${runner[@]}" "$dir/$program" "$@"
