#!/usr/bin/env bash
# Builds everything and runs every test under Wine, with a display of its own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QV_BUILD:-$root/build}"
export QV_BUILD="$build"

bash "$root/tools/build.sh"

# A Wine prefix of the tests' own, so that nothing touches the user's prefix.
export QV_WINEPREFIX="${QV_WINEPREFIX:-$build/wineprefix}"
export WINEPREFIX="$QV_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

source "$root/tools/display.sh"
trap 'wineserver -k >/dev/null 2>&1 || true; stop_display' EXIT
start_display
mkdir -p "$WINEPREFIX"

# One wineserver for the whole run: every test process starts much faster with it.
wineserver -k >/dev/null 2>&1 || true
wineserver -p
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing the tests' Wine prefix..."
fi
wineboot --init >/dev/null 2>&1 || true
# Wine links the prefix's desktop to the user's home folder. The tests save pictures
# onto the desktop and browse it in the folder dialog: give them a desktop of their own.
desktop="$WINEPREFIX/drive_c/users/$(id -un)/Desktop"
if [ -L "$desktop" ]; then
  rm -f "$desktop"
  mkdir -p "$desktop"
fi

cd "$build"
ctest --output-on-failure "$@"
