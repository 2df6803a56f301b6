#!/usr/bin/env bash
# Builds the whole suite in Debug with AddressSanitizer and UBSan (build-asan/) and runs it.
# Leaks are not judged here: Qt, fontconfig and libmpv keep caches for the process's life.
# usage: tools/test-sanitizers.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZENVIRA_SANITIZE=ON -DZENVIRA_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600 "$@")
