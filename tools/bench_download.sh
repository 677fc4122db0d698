#!/usr/bin/env bash
# Times a whole download through the program (50 pictures of 200 KB, then 5 of 10 MB,
# served over HTTPS from loopback) next to curl fetching the same addresses in the same
# run, and the discovery of a 1 MB post page with 200 pictures, from the pasted address
# to the count shown.
#   tools/bench_download.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QV_BUILD:-$root/build}"
export QV_BUILD="$build"

bash "$root/tools/build.sh" --target download_bench qv_install_root_ca >/dev/null

export QV_WINEPREFIX="${QV_WINEPREFIX:-$build/wineprefix}"
export WINEPREFIX="$QV_WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export QV_BUILD_DIR="$build"
source "$root/tools/display.sh"
state="$build/bench-server"
export QV_TESTSERVER_STATE="$state"
work="$(mktemp -d)"
trap 'bash "$root/tools/testserver/fixture.sh" stop "$state"; stop_display; rm -rf "$work"' EXIT
start_display
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || true
wineboot --init >/dev/null 2>&1 || true
bash "$root/tools/testserver/fixture.sh" start "$state" "$build/testserver-build/qv_install_root_ca.exe" >/dev/null

"$root/tools/wine-run.sh" "$build/tests/gui/download_bench.exe" | tr -d '\r' > "$work/figures"

curl_set() {
  local set="$1" args=() i=0 url
  while read -r url; do
    i=$((i + 1))
    args+=(-o "$work/$set-$i" "$url")
  done < <(awk -v s="$set" '$1 == "address" && $2 == s { print $3 }' "$work/figures")
  # One curl process for the whole set, so that its start-up is counted once.
  local start end
  start=$(date +%s.%N)
  curl -s --cacert "$state/ca.pem" "${args[@]}"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

printf '%-14s %10s %10s %8s %16s %12s %14s\n' "pictures" "program s" "curl s" "ratio" "overhead ms/pic" \
  "1st pic s" "ratio after 1st"
for set in small large; do
  count=$(awk -v s="$set" '$1 == "address" && $2 == s' "$work/figures" | wc -l)
  read -r program first rest < <(awk -v s="$set" '$1 == "download" && $2 == s { print $3, $4, $5 }' "$work/figures")
  reference=$(curl_set "$set")
  label="$count x $([ "$set" = small ] && echo "200 KB" || echo "10 MB")"
  awk -v l="$label" -v p="$program" -v c="$reference" -v n="$count" -v f="$first" -v r="$rest" 'BEGIN {
    printf "%-14s %10.3f %10.3f %8.2f %16.2f %12.3f %14.2f\n", l, p, c, p / c, (p - c) * 1000 / n, f,
      r / (c * (n - 1) / n) }'
done
echo "(curl reuses one connection for a whole set; the program keeps its connections alive too."
echo " Its first picture includes the process's first TLS set-up under Wine.)"
awk '$1 == "discovery" { printf "discovery of a %.1f MB post with 200 pictures: %.3f s\n", $3 / 1048576, $2 }' "$work/figures"
