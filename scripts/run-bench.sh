#!/usr/bin/env bash
# Sets up what is missing, builds the collection benchmark and runs it in a private Wine prefix
# (build/wine/bench), the whole run pinned to one CPU: unpinned, Wine's cross-CPU wakeups make
# the same run vary tenfold on small machines.
# Usage: scripts/run-bench.sh [runs per world]   (build folder: $HV_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HV_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build" -j2 --target collection_bench >/dev/null

exec taskset -c 0 bash -c '
  . "$1/scripts/wine-env.sh"
  trap wine_env_stop EXIT
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wine_prefix_start "$2/wine/bench" win32 display test
  wine "$2/bin/collection_bench.exe" "${@:3}"
' bench "$root" "$build" "$@"
