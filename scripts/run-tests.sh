#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test under Wine.
# Usage: scripts/run-tests.sh [ctest arguments...]   (build folder: $HV_BUILD_DIR, default ./build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HV_BUILD_DIR:-$root/build}

# What the first run installs, and the build's progress, go to logs in the build folder; only a
# failed step shows its log's end.
"$root/scripts/install-deps.sh" "$build/install.log"
mkdir -p "$build"
# The Wine prefixes of the tests, made and set up (Wine's boots alone take about 45 s here) beside
# the build, in a process group of its own, which a failed build ends at once. Tests run as
# 32-bit Windows 7 without audio drivers: "test" has the unit tests and the hidden runs,
# "testgui" the GUI tests (so that they run beside the unit tests), "test64" the registry store
# and the device list where a 32-bit process sees two registry views, "test144" and "test192"
# the window and the device list at display scales of 150 % and 200 %.
prefixes=("test win32 96" "testgui win32 96" "test64 win64 96" "test144 win32 144" "test192 win32 192")
setsid -w bash -c '. "$1/scripts/wine-env.sh" && shift && wine_prepare_test_prefixes "$@"' prepare "$root" \
  "$build/wine" "${prefixes[@]}" </dev/null >"$build/wine-prepare.log" 2>&1 &
preparing=$!
echo "Building the checker and its tests (log: $build/build.log)..."
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" -DHV_BUILD_TESTS=ON &&
       cmake --build "$build" -j2; } >"$build/build.log" 2>&1; then
  kill -- -"$preparing" 2>/dev/null || true
  echo "The build failed; the end of its log ($build/build.log):" >&2
  tail -n 40 "$build/build.log" >&2
  exit 1
fi
# A prefix that failed there is made again, and told, as it is started.
wait "$preparing" || true
echo "Starting Wine and Xvfb for the tests..."

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
# Each prefix has a persistent wineserver; each prefix whose tests show windows has a display of
# its own: tests of two prefixes run side by side, and a capture of the screen must find no
# other prefix's desktop over its window.
for prefix in "${prefixes[@]}"; do
  read -r name arch dpi <<<"$prefix"
  if [ "$name" = test ]; then
    wine_env_start "$build/wine/$name" "$arch" xvfb test "$dpi"
  else
    wine_prefix_start "$build/wine/$name" "$arch" xvfb test "$dpi"
    wine_prefix_own_display
  fi
done
unset WINEARCH  # each test names its prefix, which knows its own
# Measured: when the first unit-test program of this Wine session starts under ctest, every
# later one takes about 1.5 s instead of 0.2 s (Wine's desktop is set up again each time); one
# start from here first keeps them fast.
for prefix in test testgui; do
  "$root/tests/wine/wine-run.sh" "$build/wine/$prefix" "$build/bin/unit_tests.exe" --gtest_list_tests >/dev/null 2>&1 || true
done
cd "$build"
echo "Running the tests..."
# Two at a time, one per Wine prefix at most (each test locks its prefix), unless told otherwise.
jobs=(-j2)
for argument in "$@"; do
  case $argument in -j*|--parallel*) jobs=() ;; esac
done
ctest --output-on-failure --timeout 300 "${jobs[@]}" "$@"
