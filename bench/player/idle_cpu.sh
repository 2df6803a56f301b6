#!/usr/bin/env bash
# CPU of the idle player window (its 50 ms layout timer, Qt and the idle playback control):
# the window is shown under Xvfb with no file, and its process time is read from /proc over
# SECONDS seconds after a settling pause.
#   bench/player/idle_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=${1:-build}
seconds=${2:-30}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config
xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/player/form1_show" >/dev/null 2>&1 &
runner=$!
pid=""
for _ in $(seq 100); do pid=$(pgrep -n -x form1_show || true); [ -n "$pid" ] && break; sleep 0.1; done
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
sleep 3
before=$(ticks "$pid")
sleep "$seconds"
after=$(ticks "$pid")
kill "$pid" 2>/dev/null || true
wait "$runner" 2>/dev/null || true
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "idle player window: %.2f s CPU in %d s = %.2f %% of one core\n", t / hz, s, 100 * t / hz / s }'
