#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything into build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QV_BUILD:-$root/build}"

bash "$root/tools/bootstrap.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/tools/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" "$@"
