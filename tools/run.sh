#!/usr/bin/env bash
# Runs Quorvale under Wine, together with the bundled sample site on loopback, and
# prints the sample post's address to paste into the address box. The first run installs
# what is missing and builds; later runs only rebuild what changed. Without a display a
# private Xvfb is started and the program runs on Wine's own desktop inside it.
#   tools/run.sh              the program and the sample site
#   tools/run.sh --no-sample  the program alone
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QV_BUILD:-$root/build}"
export QV_BUILD="$build"
sample=true
[ "${1:-}" = "--no-sample" ] && sample=false

bash "$root/tools/build.sh" --target quorvale qv_install_root_ca

# The program's own Wine prefix, so that nothing changes the user's.
export WINEPREFIX="${QV_RUN_WINEPREFIX:-$HOME/.local/share/quorvale/wineprefix}"
export QV_WINEPREFIX="$WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$WINEPREFIX"

source "$root/tools/display.sh"
had_display=1
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then had_display=0; fi
cleanup() {
  if $sample; then bash "$root/tools/samplesite/site.sh" stop "$build" || true; fi
  stop_display
}
trap cleanup EXIT
start_display
if [ "$had_display" = 0 ]; then
  echo "No display found: started Xvfb on $DISPLAY (screenshot: DISPLAY=$DISPLAY xwd -root | convert xwd:- shot.png)"
fi
wineboot --init >/dev/null 2>&1 || true

if $sample; then
  address="$(bash "$root/tools/samplesite/site.sh" start "$build")"
  echo
  echo "Sample post (paste it into the address box): $address"
  echo
fi

exe="$build/quorvale.exe"
if [ "$had_display" = 1 ]; then
  wine "$exe"
else
  # Without a window manager Wine's own desktop draws the window frames.
  wine explorer /desktop=Quorvale,1024x768 "$exe"
fi
