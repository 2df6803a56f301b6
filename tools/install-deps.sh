#!/usr/bin/env bash
# Puts every Debian 12 package Zenvira needs on this machine. Idempotent and quiet when
# everything is already there. With package names as arguments, puts only those (the Windows
# cross-build's tools use this).
set -euo pipefail

everything=(
  build-essential cmake pkg-config ninja-build
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libssl-dev zlib1g-dev curl
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libgumbo-dev libxml2-dev libmpv-dev ffmpeg libzip-dev libopencore-amrnb-dev zip unzip
  nlohmann-json3-dev libavformat-dev libavcodec-dev libavutil-dev libssl-dev
  xdg-utils shared-mime-info desktop-file-utils imagemagick
  appstream lintian bash-completion file dpkg-dev
  clang libclang-rt-14-dev
  xvfb xauth nginx-light aria2 hyperfine
  chromium nodejs
)
if [ $# -gt 0 ]; then packages=("$@"); else packages=("${everything[@]}"); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ $# -gt 0 ] && exit 0

# puppeteer-core drives Chromium in the browser extension's test (tests/browser).
node_folder="$HOME/.cache/zenvira/node"
if [ ! -f "$node_folder/node_modules/puppeteer-core/package.json" ] && command -v npm >/dev/null; then
  mkdir -p "$node_folder"
  (cd "$node_folder" && npm install --no-audit --no-fund --loglevel=error puppeteer-core@24 >/dev/null)
fi
