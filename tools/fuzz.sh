#!/usr/bin/env bash
# Builds the resolver and DASH manifest fuzzers with clang (libFuzzer + AddressSanitizer) and runs each.
# usage: tools/fuzz.sh [SECONDS]   (default 60, for each)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
command -v clang++ >/dev/null || { echo "clang++ not found: fuzzing skipped"; exit 0; }
cmake -S . -B build-fuzz -G Ninja -DZENVIRA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2 >/dev/null
corpus=build-fuzz/corpus
mkdir -p "$corpus"
cp -n tests/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
build-fuzz/tests/fuzz/fuzz_resolve -max_total_time="$seconds" -max_len=65536 \
  -dict=tests/fuzz/resolve.dict -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
mpd_corpus=build-fuzz/mpd-corpus
mkdir -p "$mpd_corpus"
cp -n tests/fuzz/mpd_seeds/* "$mpd_corpus"/ 2>/dev/null || true
build-fuzz/tests/fuzz/fuzz_mpd -max_total_time="$seconds" -max_len=65536 \
  -dict=tests/fuzz/mpd.dict -print_final_stats=1 "$mpd_corpus" 2>&1 | tail -n 15
