#!/usr/bin/env bash
# Fuzzes the NV-to-ARB translator with libFuzzer (clang) for SECONDS seconds
# (default 60), starting from the iteration programs in tests/fuzz/corpus.
# New inputs go to build-fuzz/corpus, not into the tree; a failure leaves
# its input in build-fuzz/ and fails the script.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
mkdir -p build-fuzz/corpus
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
  gpu/nv_to_arb.cpp tests/fuzz/nv_to_arb_fuzzer.cpp -o build-fuzz/nv_to_arb_fuzzer
cp -n tests/fuzz/corpus/* build-fuzz/corpus/
build-fuzz/nv_to_arb_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix=build-fuzz/ build-fuzz/corpus 2>&1 | tee build-fuzz/last-run.log |
  grep -E "^(INFO: seed corpus|Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)" || true
grep -q "^Done [0-9]* runs" build-fuzz/last-run.log
