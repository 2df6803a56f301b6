#!/usr/bin/env bash
# Sets everything up and runs Zenvira's main job against the bundled demo site: the site
# stands in for the video site on 127.0.0.1 and is reached through the ordinary proxy
# setting, so the addresses are the video site's own and nothing touches the network.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zenvira-cli zenvira-demo-site zenvira_encoder_front >/dev/null

# A real FLV clip for the demo site to serve (made once, with ffmpeg).
clip=build/demo/harbour-lights.flv
mkdir -p build/demo
if [ ! -s "$clip" ]; then
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" \
    -f lavfi -i "sine=frequency=330:sample_rate=44100" -t 20 \
    -c:v flv -b:v 900k -c:a libmp3lame -b:a 96k "$clip"
fi

site_out=$(mktemp)
build/tools/demo-site/zenvira-demo-site --movie "$clip" >"$site_out" &
site_pid=$!
trap 'kill "$site_pid" 2>/dev/null; wait "$site_pid" 2>/dev/null; rm -f "$site_out"' EXIT
for _ in $(seq 50); do [ "$(wc -l <"$site_out")" -ge 3 ] && break; sleep 0.1; done
proxy=$(sed -n 1p "$site_out")
address=$(sed -n 2p "$site_out")
export http_proxy=$proxy

echo "== The demo site stands in for the video site at $proxy"
echo "== Resolving $address"
build/bin/zenvira-cli resolve "$address" | { command -v python3 >/dev/null && python3 -m json.tool || cat; }
echo
echo "== Downloading its best quality into build/demo/downloads"
build/bin/zenvira-cli download "$address" -o "$PWD/build/demo/downloads"
echo "== What ffprobe reads in it"
ffprobe -v error -show_entries stream=codec_type,codec_name,width,height -of compact \
  "build/demo/downloads/Zenvira Demo Harbour Lights at Dusk.flv"
echo
echo "== Converting it for a phone with the \"3GP (for Mobile)\" profile"
build/bin/zenvira-cli convert "build/demo/downloads/Zenvira Demo Harbour Lights at Dusk.flv" "3GP (for Mobile)"
ffprobe -v error -show_entries stream=codec_type,codec_name,width,height,sample_rate -of compact \
  "build/demo/downloads/Zenvira Demo Harbour Lights at Dusk.3gp"
