#!/usr/bin/env bash
# Sets up what is missing, builds a benchmark and runs it in a private Wine prefix
# (build/wine/bench), the whole run pinned to one CPU: unpinned, Wine's cross-CPU wakeups make
# the same run vary tenfold on small machines.
# Usage: scripts/run-bench.sh [runs per world]             collection passes over large stores
#        scripts/run-bench.sh wedged [runs] [world...]     whole tests with drivers that stop
#                                                          answering (healthy filter filters
#                                                          control all held)
# (build folder: $HV_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HV_BUILD_DIR:-$root/build}
bench=collection_bench
if [ "${1:-}" = wedged ]; then
  bench=wedged_drivers_bench
  shift
fi

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build" -j2 --target "$bench" >/dev/null

exec taskset -c 0 bash -c '
  . "$1/scripts/wine-env.sh"
  trap wine_env_stop EXIT
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wine_prefix_start "$2/wine/bench" win32 display test
  wine "$2/bin/$3.exe" "${@:4}"
' bench "$root" "$build" "$bench" "$@"
