#!/usr/bin/env bash
# Sets up what is missing, builds the checker and runs it under Wine: on your display when
# DISPLAY is set, otherwise on a private Xvfb. Prints the log view's text and the exit code and
# saves a screenshot of the window as build/checker.png.
# Usage: scripts/run-checker.sh [checker switches, e.g. -h -s]   (build folder: $HV_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HV_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$build" -j2 --target HalvaneDevicesChecker run_session

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
session=(--screenshot 'C:\checker.bmp')
if [ -n "${DISPLAY:-}" ]; then
  echo "Running on display $DISPLAY; close the checker's window to end."
  wine_env_start "$build/wine/run" win32 display run
else
  echo "No display: running on a private Xvfb."
  wine_env_start "$build/wine/run" win32 xvfb run
  session+=(--quit)
fi

rm -f "$WINEPREFIX/drive_c/checker.bmp" "$build/checker.png"
wine "$build/bin/run_session.exe" "${session[@]}" -- "$@"
if [ -f "$WINEPREFIX/drive_c/checker.bmp" ]; then
  /usr/bin/convert "$WINEPREFIX/drive_c/checker.bmp" "$build/checker.png"
  rm -f "$WINEPREFIX/drive_c/checker.bmp"
  echo "Screenshot saved as $build/checker.png"
fi
