#!/usr/bin/env bash
# Benchmarks the in-memory loaders and the response decoder:
#  - time per mapping of each carried image, with each loader (a loop in one process);
#  - DecodeGzip on a 2 MB and a 20 MB text, beside `gzip -dc` on the same files in the
#    same run, with the ratio.
# Usage: QV_BUILD=/path/to/build tools/bench_memload.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QV_BUILD:-$root/build}"
export QV_BUILD="$build"

bash "$root/tools/build.sh" --target memload_bench >/dev/null
export WINEPREFIX="${QV_WINEPREFIX:-$build/wineprefix}"
export WINEDEBUG=-all

work="$build/bench-memload"
mkdir -p "$work"
# Page-like text: varied lines, so it compresses like HTML does (about 4:1 to 6:1).
make_text() { # size file
  python3 - "$1" "$2" <<'PY'
import random, sys
size, path = int(sys.argv[1]), sys.argv[2]
random.seed(20261211)
words = ("post picture weblarge https img src class div span href comment user follow "
         "photo album share like 2026 quorvale sample gallery item data json url").split()
out, total = [], 0
while total < size:
    line = "<div class=\"%s\"><a href=\"/%s/%d\">%s</a></div>\n" % (
        random.choice(words), random.choice(words), random.randrange(100000),
        " ".join(random.choice(words) for _ in range(random.randrange(3, 12))))
    out.append(line)
    total += len(line)
open(path, "w").write("".join(out)[:size])
PY
}
for mb in 2 20; do
  text="$work/page-${mb}mb.txt"
  [ -f "$text.gz" ] || { make_text $((mb * 1000 * 1000)) "$text"; gzip -9 -k -f "$text"; }
done

wineserver -p >/dev/null 2>&1 || true
bench_exe="$build/tests/memload/memload_bench.exe"
windows_path() { winepath -w "$1" 2>/dev/null; }
output="$("$root/tools/wine-run.sh" "$bench_exe" "$(windows_path "$work/page-2mb.txt.gz")" \
  "$(windows_path "$work/page-20mb.txt.gz")" | tr -d '\r')"
echo "$output" | grep -v '^RESULT'

# Reference: gzip -dc on the same files, best of five.
echo
i=0
for mb in 2 20; do
  file="$work/page-${mb}mb.txt.gz"
  best=$(python3 - "$file" <<'PY'
import subprocess, sys, time
best = 1e9
for _ in range(5):
    start = time.perf_counter()
    subprocess.run(["gzip", "-dc", sys.argv[1]], stdout=subprocess.DEVNULL, check=True)
    best = min(best, time.perf_counter() - start)
print("%.6f" % best)
PY
)
  i=$((i + 1))
  read -r produced ours <<<"$(echo "$output" | grep '^RESULT' | sed -n "${i}p" | cut -d' ' -f2-)"
  python3 - "$mb" "$produced" "$ours" "$best" <<'PY'
import sys
mb, produced, ours, ref = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
print("%2s MB text: DecodeGzip %7.1f ms (%6.1f MB/s) | gzip -dc %7.1f ms (%6.1f MB/s) | ratio %.2f"
      % (mb, ours * 1e3, produced / 1e6 / ours, ref * 1e3, produced / 1e6 / ref, ours / ref))
PY
done
