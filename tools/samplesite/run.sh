#!/usr/bin/env bash
# Builds the program, starts the bundled sample site on loopback, prints the sample
# post's address to paste into the address box, and runs the program under Wine. The
# site stops when the program closes.
#   run.sh                 build, serve and run
#   run.sh --serve-only    build and serve until Ctrl-C, without starting the program
# QV_BUILD picks the build directory (default build/), QV_WINEPREFIX the Wine prefix
# (default <build>/wineprefix); the prefix is made to trust the site's certificate.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
serve_only=false
[ "${1:-}" = "--serve-only" ] && serve_only=true

export QV_BUILD="${QV_BUILD:-$root/build}"
bash "$root/tools/build.sh"
build="$(cd "$QV_BUILD" && pwd)"

export QV_WINEPREFIX="${QV_WINEPREFIX:-$build/wineprefix}"
export WINEPREFIX="$QV_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
mkdir -p "$WINEPREFIX"

source "$root/tools/display.sh"
start_display
trap 'bash "$here/site.sh" stop "$build"; stop_display' EXIT
wineboot --init >/dev/null 2>&1 || true

address="$(bash "$here/site.sh" start "$build")"
echo
echo "Sample post (paste it into the address box): $address"
echo

if $serve_only; then
  echo "Serving until Ctrl-C."
  while true; do sleep 3600; done
fi
"$root/tools/wine-run.sh" "$build/quorvale.exe"
