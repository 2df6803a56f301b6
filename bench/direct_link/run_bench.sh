#!/bin/sh
# A direct link served by nginx on 127.0.0.1, fetched by `zenvira-cli download URL` and by
# `curl -o` side by side in one run: wall time (hyperfine, medians of RUNS) and peak memory
# (/usr/bin/time's maximum resident set, medians of RUNS), for files of 8 MiB, 64 MiB and
# 1 GiB. Needs nginx, curl, hyperfine and ffmpeg. ZV_BENCH_BASELINE names another build's
# folder, whose zenvira-cli runs in the same hyperfine run (wall time only).
#   bench/direct_link/run_bench.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build}
runs=${2:-9}
cli=$(realpath "$build/bin/zenvira-cli")
baseline=${ZV_BENCH_BASELINE:+$(realpath "$ZV_BENCH_BASELINE/bin/zenvira-cli")}
work=$(mktemp -d)
trap 'kill "$(cat "$work/nginx.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM

mkdir -p "$work/www" "$work/logs" "$work/out"
chmod 755 "$work"  # nginx's worker may run as another user
# Each file is a video as a direct link serves one: an MP4 whose index comes first (what the
# resolver reads of it), then the rest of the size in random bytes.
ffmpeg -v error -f lavfi -i testsrc=size=640x360:rate=25 -t 2 -c:v libx264 -preset ultrafast \
    -movflags +faststart "$work/head.mp4"
for size in 8M 64M 1G; do
    { cat "$work/head.mp4"; head -c "$size" /dev/urandom; } | head -c "$size" > "$work/www/file-$size.bin"
done

# A free port: one the kernel hands out for a moment.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
daemon on;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
    log_format ranges '\$request \$status "\$http_range"';
    access_log $work/logs/access.log ranges;
    client_body_temp_path $work/logs;
    proxy_temp_path $work/logs;
    fastcgi_temp_path $work/logs;
    uwsgi_temp_path $work/logs;
    scgi_temp_path $work/logs;
    sendfile on;
    types { video/mp4 bin; }
    server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
chmod -R a+rX "$work/www"
nginx -c "$work/nginx.conf" -p "$work"
sleep 0.3

# Peak memory of one command, in KiB, median of RUNS.
peak() {
    for _ in $(seq "$runs"); do
        rm -rf "$work/out" "$work/hosts"; mkdir -p "$work/out"
        /usr/bin/time -f %M -o "$work/rss" "$@" > /dev/null 2>&1
        cat "$work/rss"
    done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy
# The connection counts ours remembers go to the bench's own file, emptied before each run:
# every run starts as on a server never seen, and the user's file is neither read nor changed.
export ZENVIRA_HOSTS="$work/hosts"
cd "$work"
printf '%-6s %12s %12s %7s %14s %14s' size zenvira_s curl_s ratio zenvira_MiB curl_MiB
[ -n "$baseline" ] && printf ' %12s %7s' baseline_s ratio
printf '\n'
for size in 8M 64M 1G; do
    url="http://127.0.0.1:$port/file-$size.bin"
    set -- "$cli download $url -o $work/out -q" "curl -s -o $work/out/file-$size.bin $url"
    [ -n "$baseline" ] && set -- "$@" "$baseline download $url -o $work/out -q"
    hyperfine --style none --runs "$runs" --warmup 1 --export-json "$work/h.json" \
        --prepare "rm -rf $work/out $work/hosts; mkdir -p $work/out" "$@" > /dev/null
    medians=$(python3 -c 'import json, sys; r = json.load(open(sys.argv[1]))["results"]; print(" ".join("%.3f" % x["median"] for x in r))' "$work/h.json")
    set -- $medians
    zv=$1
    cu=$2
    bl=${3:-}
    zvm=$(peak "$cli" download "$url" -o "$work/out" -q)
    cum=$(peak curl -s -o "$work/out/file-$size.bin" "$url")
    printf '%-6s %12s %12s %7s %14s %14s\n' "$size" "$zv" "$cu" "$(echo "$zv $cu" | awk '{ printf "%.2f", $1 / $2 }')" \
        "$(echo "$zvm" | awk '{ printf "%.1f", $1 / 1024 }')" "$(echo "$cum" | awk '{ printf "%.1f", $1 / 1024 }')" | tr -d '\n'
    [ -n "$bl" ] && printf ' %12s %7s' "$bl" "$(echo "$bl $cu" | awk '{ printf "%.2f", $1 / $2 }')"
    printf '\n'
done
# The requests one download of a direct link makes: the resolver's read, which goes on as
# the first piece ("bytes=0-"), and the ranges the download adds; never a second read from 0.
: > "$work/logs/access.log"
rm -rf "$work/out"; mkdir -p "$work/out"
"$cli" download "http://127.0.0.1:$port/file-64M.bin" -o "$work/out" -q
echo "one zenvira download of file-64M.bin: $(grep -c 'GET /file-64M.bin' "$work/logs/access.log") requests," \
     "$(grep -c '"bytes=0-"' "$work/logs/access.log") of them from byte 0 to the end"
