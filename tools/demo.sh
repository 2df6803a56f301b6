#!/usr/bin/env bash
# Sets everything up and runs Zenvira's main job against the bundled demo site: the site
# stands in for the video site on 127.0.0.1, reached through the ordinary proxy setting.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zenvira-cli zenvira-demo-site >/dev/null

site_out=$(mktemp)
build/tools/demo-site/zenvira-demo-site >"$site_out" &
site_pid=$!
trap 'kill "$site_pid" 2>/dev/null; wait "$site_pid" 2>/dev/null; rm -f "$site_out"' EXIT
for _ in $(seq 50); do [ -s "$site_out" ] && break; sleep 0.1; done
proxy=$(head -n 1 "$site_out")
address=$(sed -n 2p "$site_out")
echo "Demo site at $proxy; resolving $address"
http_proxy=$proxy build/bin/zenvira-cli resolve "$address"
