#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the run need.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  mingw-w64 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  cmake ninja-build googletest libz-mingw-w64-dev
  wine wine32:i386
  xvfb x11-apps x11-utils imagemagick xdotool
  fonts-wqy-microhei fonts-wine
  python3 openssl curl zlib1g-dev
)

missing() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_if_needed dpkg --add-architecture i386
fi

todo=$(missing)
if [ -n "$todo" ]; then
  export DEBIAN_FRONTEND=noninteractive
  sudo_if_needed apt-get update
  # shellcheck disable=SC2086
  sudo_if_needed apt-get install -y --no-install-recommends $todo
fi
