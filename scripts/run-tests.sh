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
# Wine boots each architecture once (about 45 s here on a fresh clone) beside the build, in a
# process group of its own, which a failed build ends at once.
setsid -w bash -c '. "$1/scripts/wine-env.sh" && wine_boot_templates "$2/wine"' boot "$root" "$build" \
  </dev/null >"$build/wine-boot.log" 2>&1 &
boots=$!
echo "Building the checker and its tests (log: $build/build.log)..."
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" -DHV_BUILD_TESTS=ON &&
       cmake --build "$build" -j2; } >"$build/build.log" 2>&1; then
  kill -- -"$boots" 2>/dev/null || true
  echo "The build failed; the end of its log ($build/build.log):" >&2
  tail -n 40 "$build/build.log" >&2
  exit 1
fi
# A boot that failed there is tried again, and told, as each prefix is made.
wait "$boots" || true
echo "Starting Wine and Xvfb for the tests..."

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
# Tests run as 32-bit Windows 7 without audio drivers; the registry store also in a 64-bit
# prefix, where a 32-bit process sees two registry views.
wine_env_start "$build/wine/test" win32 xvfb test
# The GUI tests' own prefix, so that they run beside the unit tests. Each prefix whose tests
# show windows has a display of its own: tests of two prefixes run side by side, and a capture
# of the screen must find no other prefix's desktop over its window.
wine_prefix_start "$build/wine/testgui" win32 xvfb test
wine_prefix_own_display
wine_prefix_start "$build/wine/test64" win64 xvfb test
wine_prefix_own_display
# The window and the device list again at display scales of 150 % and 200 %.
wine_prefix_start "$build/wine/test144" win32 xvfb test 144
wine_prefix_own_display
wine_prefix_start "$build/wine/test192" win32 xvfb test 192
wine_prefix_own_display
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
