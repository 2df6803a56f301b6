#!/bin/sh
# Eight 8 MiB files behind a 4 MB/s-per-connection cap with 40 ms answers (zv-queue-bench-site),
# fetched four ways in one hyperfine run: `zenvira-cli queue run` with its defaults (the
# entries added before each run); `aria2c -j3 -x16` on the same list (five connections a file,
# aria2's default split) and `aria2c -j3 -x16 -s16` (sixteen a file, 48 at once); and Zenvira's
# own batch (`zenvira-cli batch`, one after another). Medians of RUNS. Needs aria2c and
# hyperfine.
#   bench/queue/run_bench.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build}
runs=${2:-5}
cli=$(realpath "$build/bin/zenvira-cli")
site=$(realpath "$build/bench/queue/zv-queue-bench-site")
work=$(mktemp -d)
"$site" > "$work/port" &
site_pid=$!
trap 'kill "$site_pid" 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM
while [ ! -s "$work/port" ]; do sleep 0.05; done
port=$(cat "$work/port")

for k in 0 1 2 3 4 5 6 7; do echo "http://127.0.0.1:$port/videoplayback?id=q$k&f=file$k.mp4"; done > "$work/list"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy
# Every run starts as on a server never seen; the user's own files are neither read nor changed.
export ZENVIRA_HOSTS="$work/hosts" ZENVIRA_QUEUE="$work/queue.sqlite" XDG_CONFIG_HOME="$work/config"
fresh="rm -rf $work/out $work/hosts $work/queue.sqlite*; mkdir -p $work/out"
hyperfine --style none --runs "$runs" --warmup 1 --export-json "$work/h.json" \
    --prepare "$fresh; $cli queue add -o $work/out - < $work/list > /dev/null" "$cli queue run -q" \
    --prepare "$fresh" "aria2c -q -j3 -x16 -k1M --allow-overwrite=true -d $work/out -i $work/list" \
    --prepare "$fresh" "aria2c -q -j3 -x16 -s16 -k1M --allow-overwrite=true -d $work/out -i $work/list" \
    --prepare "$fresh" "$cli batch $work/list -o $work/out -q" > /dev/null
python3 - "$work/h.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
names = ["queue run (defaults)", "aria2c -j3 -x16", "aria2c -j3 -x16 -s16", "zenvira-cli batch"]
for name, r in zip(names, results):
    print("%-22s %7.2f s  (%5.1f MB/s)" % (name, r["median"], 8 * 8 * 1.048576 / r["median"]))
PY
