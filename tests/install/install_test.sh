#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a shell find there:
# the programs on PATH running from the application folder, the menu entry, the AppStream
# file, the icons, the manual pages and the completions.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

# The programs: on PATH, really in the application folder beside the encoder front and skin.
for program in zenvira zenvira-cli; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program missing"
  [ "$(readlink -f "$prefix/bin/$program")" = "$(readlink -f "$prefix/lib/zenvira/$program")" ] ||
    fail "bin/$program does not lead to lib/zenvira/$program"
done
[ -x "$prefix/lib/zenvira/avformat.dll" ] || fail "the encoder front is not in the application folder"
[ -f "$prefix/lib/zenvira/Styles/iTunes/Normalitunes.ini" ] || fail "the skin is not in the application folder"
version=$(PATH="$prefix/bin:$PATH" zenvira-cli --version) || fail "zenvira-cli --version failed"
[[ $version == "zenvira-cli 2.5"* ]] || fail "zenvira-cli --version printed '$version'"
profiles=$(PATH="$prefix/bin:$PATH" zenvira-cli profiles | wc -l)
[ "$profiles" -eq 27 ] || fail "installed zenvira-cli lists $profiles profiles"

# FFmpeg's libraries come with the media module on first use: the installed program finds it
# beside itself and reads a stream's frame height from its first bytes.
[ -f "$prefix/lib/zenvira/zenvira-media.so" ] || fail "the media module is not in the application folder"
linked=$(ldd "$prefix/lib/zenvira/zenvira-cli")
! grep -q libavformat <<<"$linked" || fail "zenvira-cli loads libavformat at its start"
if command -v ffmpeg >/dev/null && command -v python3 >/dev/null; then
  mkdir "$work/site"
  ffmpeg -loglevel error -f lavfi -i testsrc=size=320x176:duration=1 -c:v flv1 "$work/site/clip.flv"
  python3 -u -m http.server --bind 127.0.0.1 0 --directory "$work/site" >"$work/site.log" 2>&1 &
  site=$!
  port=
  for _ in $(seq 50); do
    port=$(grep -o 'port [0-9]*' "$work/site.log" | head -1 | cut -d' ' -f2) && [ -n "$port" ] && break
    sleep 0.1
  done
  resolved=$(no_proxy=127.0.0.1 NO_PROXY=127.0.0.1 PATH="$prefix/bin:$PATH" zenvira-cli resolve "http://127.0.0.1:$port/clip.flv" 2>&1) || true
  kill "$site"
  grep -q '"height": 176' <<<"$resolved" || fail "installed zenvira-cli did not probe the stream: $resolved"
fi

# Desktop entry, AppStream file.
desktop=$prefix/share/applications/zenvira.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'MimeType=video/x-flv;' "$desktop" || fail "the desktop entry does not open video/x-flv"
grep -qx 'Exec=zenvira %U' "$desktop" || fail "the desktop entry does not start zenvira with the file or address"
metainfo=$prefix/share/metainfo/net.zenvira.zenvira.metainfo.xml
out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli: $out"
grep -q 'Validation was successful\.$' <<<"$out" || fail "appstreamcli: $out"
grep -q '<launchable type="desktop-id">zenvira.desktop</launchable>' "$metainfo" ||
  fail "the AppStream file does not name the desktop entry"

# Icons: the theme's sizes, each picture really of its size.
icons=$prefix/share/icons/hicolor
grep -q '<svg' "$icons/scalable/apps/zenvira.svg" || fail "no scalable icon"
for size in 48 128 256; do
  info=$(file -b "$icons/${size}x${size}/apps/zenvira.png" 2>&1)
  [[ $info == "PNG image data, $size x $size,"* ]] || fail "icon ${size}x${size}: $info"
done

# Manual pages render without complaint.
for page in zenvira zenvira-cli; do
  manpage=$prefix/share/man/man1/$page.1.gz
  [ -f "$manpage" ] || { fail "no manual page $page(1)"; continue; }
  if command -v man >/dev/null; then
    out=$(MANWIDTH=80 man --warnings -l "$manpage" 2>&1 >/dev/null) || fail "man $page: $out"
    [ -z "$out" ] || fail "man $page: $out"
  fi
done

# Bash completion: commands, then a command's options.
completion=$prefix/share/bash-completion/completions/zenvira-cli
if [ -f /usr/share/bash-completion/bash_completion ]; then
  complete_words() {
    bash -c '
      source /usr/share/bash-completion/bash_completion
      source "$1"; shift
      COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      _zenvira_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
  }
  [ "$(complete_words zenvira-cli do)" = download ] || fail "bash completion of 'do'"
  grep -qx -- --limit-rate <<<"$(complete_words zenvira-cli download --li)" ||
    fail "bash completion of download's options"
else
  bash -n "$completion" || fail "bash completion does not parse"
fi
zsh_completion=$prefix/share/zsh/site-functions/_zenvira-cli
[ -f "$zsh_completion" ] || fail "no zsh completion"
if command -v zsh >/dev/null; then zsh -n "$zsh_completion" || fail "zsh completion does not parse"; fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "install layout ok"
