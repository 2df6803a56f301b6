#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: packages, a build from scratch of what
# is missing, every ctest, then the resolver fuzzer for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
tools/fuzz.sh "${ZENVIRA_FUZZ_SECONDS:-20}"
