#!/usr/bin/env bash
# Cross-builds for 64-bit Windows what needs neither Qt nor libcurl (the platform layer and
# its win32 backends, the text helpers, the watch-page resolution, the encoder command line
# and the profiles, the encoder front avformat.dll) and runs their tests under Wine.
# Installs the mingw-w64 cross compiler and Wine when missing. The Wine prefix lives in the
# build folder, made once; no display is needed.
# The build is CMakePresets.json's "windows-cross", in build-windows/.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

tools/install-deps.sh g++-mingw-w64-x86-64-posix wine64 wine googletest cmake ninja-build

build=build-windows
wine=/usr/lib/wine/wine64
export WINEPREFIX="$PWD/$build/wine-prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# No display: Wine's console programs need none, and it must not try to reach one.
unset DISPLAY WAYLAND_DISPLAY

cmake --preset windows-cross >/dev/null
cmake --build "$build" -j"$(nproc)"

# One Wine server for the whole run, so each test starts in a fraction of a second.
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p 2>/dev/null || true  # already running is fine
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/.zenvira-booted" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  touch "$WINEPREFIX/.zenvira-booted"
fi
# Wine's own background services start with the first program: started here, they hold
# /dev/null rather than the output pipe of a test, which would then never seem to end.
"$wine" wineboot >/dev/null 2>&1

(cd "$build" && ctest --output-on-failure -j2 --timeout 300)
echo "tools/test-windows.sh: $(( $(date +%s) - started )) s"
