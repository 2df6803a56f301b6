#!/usr/bin/env bash
# Makes the Debian package with cpack and checks what apt and lintian will see: the programs
# and their files under /usr, dependencies read from the linked libraries, no lintian error.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/zenvira_*.deb)

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/zenvira ./usr/bin/zenvira-cli ./usr/lib/zenvira/zenvira ./usr/lib/zenvira/zenvira-cli \
    ./usr/lib/zenvira/avformat.dll ./usr/lib/zenvira/zenvira-media.so ./usr/share/applications/zenvira.desktop \
    ./usr/share/metainfo/net.zenvira.zenvira.metainfo.xml ./usr/share/man/man1/zenvira-cli.1.gz \
    ./usr/share/zsh/vendor-completions/_zenvira-cli ./usr/share/doc/zenvira/copyright \
    ./usr/share/zenvira/browser/chrome/net.zenvira.host.json ./etc/chromium/native-messaging-hosts/net.zenvira.host.json \
    ./usr/lib/mozilla/native-messaging-hosts/net.zenvira.host.json; do
  grep -q " $path\( \|$\)" <<<"$contents" || fail "the package holds no $path"
done

depends=$(dpkg-deb -f "$deb" Depends)
# libavformat59: read from the media module, which the programs load when they need it.
for library in libqt6widgets6 libcurl4 libmpv2 libgumbo1 libzip4 libavformat59 ffmpeg; do
  grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done

# Google Chrome's manifest: linked by postinst (once, however often it runs), never over a
# file of the administrator's, and only that link removed by postrm.
dpkg-deb -e "$deb" "$work/control"
root="$work/root"
chrome="$root/etc/opt/chrome/native-messaging-hosts/net.zenvira.host.json"
DPKG_ROOT=$root sh "$work/control/postinst" configure
DPKG_ROOT=$root sh "$work/control/postinst" configure
[ "$(readlink "$chrome")" = /usr/share/zenvira/browser/chrome/net.zenvira.host.json ] || fail "postinst made no link for Chrome"
DPKG_ROOT=$root sh "$work/control/postrm" remove
[ ! -e "$chrome" ] && [ ! -L "$chrome" ] || fail "postrm left the link for Chrome"
[ ! -e "$root/etc/opt/chrome" ] || fail "postrm left the empty folders it made"
mkdir -p "$(dirname "$chrome")" && echo '{"name": "mine"}' >"$chrome"
DPKG_ROOT=$root sh "$work/control/postinst" configure
DPKG_ROOT=$root sh "$work/control/postrm" purge
grep -q mine "$chrome" || fail "the administrator's own Chrome manifest was replaced or removed"

if command -v lintian >/dev/null; then
  # lintian refuses nothing for root but says so; only its E: lines matter here.
  report=$(lintian --fail-on none "$deb" 2>/dev/null)
  errors=$(grep '^E:' <<<"$report" || true)
  [ -z "$errors" ] || fail "lintian: $errors"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "package ok: $(basename "$deb")"
