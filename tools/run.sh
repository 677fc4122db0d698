#!/usr/bin/env bash
# Runs Quorvale under Wine. The first run installs what is missing and builds; later
# runs only rebuild what changed. Without a display, a private Xvfb is started and the
# program runs on Wine's own desktop inside it (take screenshots with xwd).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QV_BUILD:-$root/build}"
export QV_BUILD="$build"

bash "$root/tools/build.sh" quorvale

# The program's own Wine prefix, so that nothing changes the user's.
export WINEPREFIX="${QV_RUN_WINEPREFIX:-$HOME/.local/share/quorvale/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$WINEPREFIX")"

source "$root/tools/display.sh"
had_display=1
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then had_display=0; fi
start_display
trap 'stop_display' EXIT
if [ "$had_display" = 0 ]; then
  echo "No display found: started Xvfb on $DISPLAY (screenshot: DISPLAY=$DISPLAY xwd -root | convert xwd:- shot.png)"
fi

wineboot --init >/dev/null 2>&1 || true
exe="$build/quorvale.exe"
if [ "$had_display" = 1 ]; then
  wine "$exe"
else
  # Without a window manager Wine's own desktop draws the window frames.
  wine explorer /desktop=Quorvale,1024x768 "$exe"
fi
