#!/usr/bin/env bash
# Times WebRequest fetching 1, 4 and 16 MB bodies from the loopback test server, next to
# curl fetching the same addresses. WebRequest reads in 1024-byte pieces, each a round
# trip through Wine, so it is slower than curl; what matters is that its time grows in
# proportion to the size (the body must be appended in linear time).
#   tools/bench_webrequest.sh [repeats]      (best of `repeats`, default 3)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QV_BUILD:-$root/build}"
repeats="${1:-3}"

bash "$root/tools/build.sh" --target web_bench >/dev/null

export QV_WINEPREFIX="${QV_WINEPREFIX:-$build/wineprefix}"
export WINEPREFIX="$QV_WINEPREFIX"
export WINEDEBUG=-all
wineserver -p 2>/dev/null || true  # already running is fine
wineboot --init >/dev/null 2>&1 || true

state="$(mktemp -d)"
python3 "$root/tools/testserver/server.py" --state-dir "$state" >"$state/log" 2>&1 </dev/null &
server_pid=$!
trap 'kill $server_pid 2>/dev/null || true; rm -rf "$state"' EXIT
for _ in $(seq 1 100); do [ -f "$state/ports" ] && break; sleep 0.1; done
port="$(sed -n 's/^http=//p' "$state/ports")"

curl_best() {
  local best="" t
  for _ in $(seq 1 "$repeats"); do
    t="$(curl -s -o /dev/null -w '%{time_total}' "$1")"
    best="$(awk -v a="$best" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')"
  done
  echo "$best"
}

declare -A webrequest_seconds
printf '%8s  %12s  %10s  %12s  %10s  %14s\n' "size" "WebRequest s" "MB/s" "curl s" "MB/s" "WebRequest s/MB"
for mb in 1 4 16; do
  size=$((mb * 1048576))
  address="http://127.0.0.1:$port/__bytes/$size"
  read -r got seconds < <("$root/tools/wine-run.sh" "$build/tests/web/web_bench.exe" "$address" "$repeats" | tr -d '\r')
  if [ "$got" != "$size" ]; then
    echo "WebRequest read $got bytes of $size" >&2
    exit 1
  fi
  webrequest_seconds[$mb]="$seconds"
  curl_seconds="$(curl_best "$address")"
  awk -v mb="$mb" -v w="$seconds" -v c="$curl_seconds" 'BEGIN {
    printf "%6d MB  %12.3f  %10.1f  %12.3f  %10.1f  %14.4f\n", mb, w, mb / w, c, mb / c, w / mb }'
done
# Linear growth: each fourfold size should take about four times as long.
awk -v a="${webrequest_seconds[1]}" -v b="${webrequest_seconds[4]}" -v c="${webrequest_seconds[16]}" 'BEGIN {
  printf "WebRequest time ratios: 4 MB / 1 MB = %.1f, 16 MB / 4 MB = %.1f (linear: 4)\n", b / a, c / b }'
