#!/usr/bin/env bash
# Downloads from a local nginx, side by side: the downloader component, curl, aria2c -x2 -s2
# and a plain copy of the served file. Prints medians of wall time, CPU time and peak memory.
# Then the link shapes of zv-bench-site (a cap per connection, steady from the first byte,
# with 40 ms before each answer; every other connection slow) against curl, aria2c -x2 -s2
# -k1M and aria2c -x16 -s16 -k1M; ours twice, as on a server it has not seen and as on one seen
# before (the host memory of a run before it, in the bench's own ZENVIRA_HOSTS file).
#   bench/downloader/run_bench.sh [BUILD_DIR] [RUNS]
# ZV_BENCH_PARTS="local slow shapes" picks the parts (all by default).
# The downloads go to a folder in /tmp; ZV_BENCH_OUT=/dev/shm/x measures without the disk.
# ZV_BENCH_BASELINE=/path/to/another/zv-download-once adds its runs to the shapes' (a build
# before a change, side by side with the one after it), as on a server it has not seen.
# Needs nginx, curl, aria2c and GNU time; everything lives in a temporary folder that is
# removed at the end, and nginx is stopped whatever happens.
set -euo pipefail

build=${1:-$(dirname "$0")/../../build}
runs=${2:-7}
once="$build/bench/downloader/zv-download-once"
shapes_site="$build/bench/downloader/zv-bench-site"
parts=${ZV_BENCH_PARTS:-local slow shapes}
baseline=${ZV_BENCH_BASELINE:-}
with_baseline=${baseline:+baseline}
[ -x "$once" ] || { echo "missing $once: build the target zv-download-once first" >&2; exit 1; }
[ -x "$shapes_site" ] || { echo "missing $shapes_site: build the target zv-bench-site first" >&2; exit 1; }
for tool in nginx curl aria2c /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/zv-dl-bench.XXXXXX)
# Never the user's own host memory: an empty file name remembers nothing.
export ZENVIRA_HOSTS=
chmod 755 "$work"  # nginx workers run as another user
out=${ZV_BENCH_OUT:-$work/out}
mkdir -p "$work/www" "$out" "$work/logs" "$work/tmp"
remove_outputs() { rm -f "$out"/zv.bin* "$out"/curl.bin "$out"/aria.bin* "$out"/copy.bin; }
cleanup() {
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  [ -f "$work/site.pid" ] && kill "$(cat "$work/site.pid")" 2>/dev/null || true
  sleep 0.2
  rm -rf "$work"
  remove_outputs
  return 0
}
trap cleanup EXIT

case " $parts " in
  *" local "*|*" slow "*)
    echo "making the files ..." >&2
    head -c 1G /dev/urandom > "$work/www/big.bin"
    head -c 200M /dev/urandom > "$work/www/mid.bin"
    chmod 644 "$work/www/"*.bin ;;
esac

start_nginx() {
  for _ in $(seq 20); do
    port=$((20000 + RANDOM % 40000))
    cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  sendfile on;
  tcp_nopush on;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
    location /slow/ { alias $work/www/; limit_rate 20m; }
  }
}
CONF
    if nginx -p "$work" -c "$work/nginx.conf" 2>/dev/null; then
      for _ in $(seq 50); do
        curl -s -o /dev/null "http://127.0.0.1:$port/mid.bin" -r 0-0 && return 0
        sleep 0.1
      done
    fi
  done
  echo "nginx did not start" >&2
  exit 1
}
case " $parts " in *" local "*|*" slow "*) start_nginx; base="http://127.0.0.1:$port" ;; esac

# measure NAME COMMAND...: appends "wall cpu maxrss_kib" to $work/NAME.times
measure() {
  local name=$1; shift
  remove_outputs
  sync
  sleep 1  # let the disk settle after the last run's writes and deletes
  local started ended
  started=$(date +%s%N)
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >>"$work/$name.out" 2>"$work/stderr.txt" || {
    echo "$name failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  ended=$(date +%s%N)
  # Wall time to the millisecond (GNU time's own is to the hundredth of a second).
  awk -v ns=$((ended - started)) '{ printf "%.3f %.3f %s\n", ns / 1e9, $2 + $3, $4 }' "$work/time.txt" >> "$work/$name.times"
}

median() {  # column of file
  sort -n -k"$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

run_set() {  # PREFIX PATH RUNS
  local prefix=$1 path=$2 n=$3
  for i in $(seq "$n"); do
    echo "$prefix run $i/$n ..." >&2
    measure "$prefix-zenvira" "$once" "$base/$path" "$out" zv.bin 2 4096
    if [ "$i" = 1 ] && ! cmp -s "$out/zv.bin" "$work/www/$(basename "$path")"; then
      echo "the downloaded file differs from the served one" >&2; exit 1
    fi
    measure "$prefix-curl" curl -s -o "$out/curl.bin" "$base/$path"
    measure "$prefix-aria2c" aria2c -q -x2 -s2 --allow-overwrite=true --auto-file-renaming=false \
      -d "$out" -o aria.bin "$base/$path"
    if [ "$prefix" = local ]; then
      measure "$prefix-copy" cp "$work/www/$(basename "$path")" "$out/copy.bin"
    else
      measure "$prefix-aria2c-x16" aria2c -q -x16 -s16 -k1M --allow-overwrite=true --auto-file-renaming=false \
        -d "$out" -o aria.bin "$base/$path"
    fi
  done
}

table() {  # PREFIX BYTES TOOLS...
  local prefix=$1 bytes=$2; shift 2
  local curl_wall curl_cpu
  curl_wall=$(median "$work/$prefix-curl.times" 1)
  curl_cpu=$(median "$work/$prefix-curl.times" 2)
  printf "| %-22s | %8s | %9s | %9s | %9s | %9s | %9s |\n" tool "wall s" "MB/s" "x curl" "CPU s" "CPU/curl" "max RSS"
  printf "|%s|%s|%s|%s|%s|%s|%s|\n" "------------------------" "----------" "-----------" "-----------" "-----------" "-----------" "-----------"
  for tool in "$@"; do
    local f="$work/$prefix-$tool.times" wall cpu rss
    wall=$(median "$f" 1); cpu=$(median "$f" 2); rss=$(median "$f" 3)
    awk -v t="$tool" -v w="$wall" -v c="$cpu" -v r="$rss" -v b="$bytes" -v cw="$curl_wall" -v cc="$curl_cpu" 'BEGIN {
      printf "| %-22s | %8.2f | %9.0f | %9.2f | %9.2f | %9.2f | %5.1f MiB |\n", t, w, b / w / 1e6, cw / w, c, c / cc, r / 1024 }'
  done
}

shape_set() {  # SHAPE RUNS WITH_CURL
  local shape=$1 n=$2 with_curl=$3 url="http://127.0.0.1:$site_port/videoplayback?id=$1"
  # The shapes share one server: each starts from what a download of its own left.
  rm -f "$work/hosts"
  ZENVIRA_HOSTS="$work/hosts" "$once" "$url" "$out" zv.bin 2 4096 >/dev/null
  for i in $(seq "$n"); do
    echo "$shape run $i/$n ..." >&2
    measure "$shape-zenvira" "$once" "$url" "$out" zv.bin 2 4096
    [ "$i" = 1 ] && cp "$out/zv.bin" "$work/zv-first.bin"
    measure "$shape-zenvira-seen" env ZENVIRA_HOSTS="$work/hosts" "$once" "$url" "$out" zv.bin 2 4096
    [ -n "$baseline" ] && measure "$shape-baseline" "$baseline" "$url" "$out" zv.bin 2 4096
    [ "$with_curl" = yes ] && measure "$shape-curl" curl -s -o "$out/curl.bin" "$url"
    measure "$shape-aria2c-x2" aria2c -q -x2 -s2 -k1M --allow-overwrite=true --auto-file-renaming=false \
      -d "$out" -o aria.bin "$url"
    measure "$shape-aria2c-x16" aria2c -q -x16 -s16 -k1M --allow-overwrite=true --auto-file-renaming=false \
      -d "$out" -o aria.bin "$url"
    if [ "$i" = 1 ] && ! cmp -s "$out/aria.bin" "$work/zv-first.bin"; then
      echo "our $shape file differs from aria2c's" >&2; exit 1
    fi
  done
}

shape_table() {  # SHAPE FLOOR_SECONDS TOOLS... (FLOOR_SECONDS 0: none)
  local shape=$1 floor=$2; shift 2
  local x16
  x16=$(median "$work/$shape-aria2c-x16.times" 1)
  printf "| %-18s | %8s | %8s | %12s | %s |\n" tool "wall s" "x floor" "x aria2c-x16" "last 5 % of the bytes"
  printf "|%s|%s|%s|%s|%s|\n" "--------------------" "----------" "----------" "--------------" "------"
  for tool in "$@"; do
    local wall tail="" ratio="" vs
    wall=$(median "$work/$shape-$tool.times" 1)
    [ "$floor" != 0 ] && ratio=$(awk -v w="$wall" -v f="$floor" 'BEGIN { printf "%.2f", w / f }')
    vs=$(awk -v w="$wall" -v x="$x16" 'BEGIN { printf "%.2f", w / x }')
    if [ "${tool#zenvira}" != "$tool" ] || [ "$tool" = baseline ]; then
      tail=$(sed -n 's/.*last 5 % of the bytes \([0-9.]*\) % of the time.*/\1/p' "$work/$shape-$tool.out" | sort -n |
        awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] " % of the time" }')
    fi
    printf "| %-18s | %8.3f | %8s | %12s | %s |\n" "$tool" "$wall" "$ratio" "$vs" "$tail"
  done
}

for part in $parts; do
  case $part in
    local) run_set local big.bin "$runs" ;;
    slow) run_set slow slow/mid.bin $(( runs > 3 ? 3 : runs )) ;;
    shapes)
      "$shapes_site" > "$work/site.port" & echo $! > "$work/site.pid"
      for _ in $(seq 50); do [ -s "$work/site.port" ] && break; sleep 0.1; done
      site_port=$(cat "$work/site.port")
      shape_runs=$runs
      shape_set capped "$shape_runs" yes
      # One connection gets 8 or 0.5 MB/s as the site's connection count falls: a coin toss
      # for curl (4 s or 67 s), so it sits this shape out.
      shape_set mixed "$shape_runs" no
      ;;
  esac
done

for part in $parts; do
  case $part in
    local)
      echo
      echo "1 GiB from nginx on 127.0.0.1, medians of $runs runs (zenvira: TuningValueA 2, TuningValueB 4096)"
      echo
      table local $((1 << 30)) zenvira curl aria2c copy ;;
    slow)
      echo
      echo "200 MiB, nginx limit_rate 20m per connection, medians of $(( runs > 3 ? 3 : runs )) runs"
      echo
      table slow $((200 << 20)) zenvira curl aria2c aria2c-x16 ;;
    shapes)
      echo
      echo "32 MiB, 4 MB/s per connection from the first byte, 40 ms before each answer, medians of $shape_runs runs"
      echo
      # The floor: 32 MiB at 16 x 4 MB/s.
      shape_table capped 0.524288 zenvira zenvira-seen $with_baseline curl aria2c-x2 aria2c-x16
      echo
      echo "32 MiB, every other connection 0.5 MB/s, the rest 8 MB/s, medians of $shape_runs runs"
      echo
      shape_table mixed 0 zenvira zenvira-seen $with_baseline aria2c-x2 aria2c-x16 ;;
  esac
done
