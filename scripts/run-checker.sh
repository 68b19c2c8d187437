#!/usr/bin/env bash
# Sets up what is missing, builds the checker and runs it under Wine: on your display when
# DISPLAY is set, otherwise on a private Xvfb. Prints the log view's text and the exit code and
# saves a screenshot of the window as build/checker.png.
# Usage: scripts/run-checker.sh [checker switches, e.g. -h -s -o report.txt]
# (build folder: $HV_BUILD_DIR; a relative report path is relative to your current folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HV_BUILD_DIR:-$root/build}

# What the first run installs, and the build's progress, go to logs in the build folder; only a
# failed step shows its log's end.
"$root/scripts/install-deps.sh" "$build/install.log"
mkdir -p "$build"
echo "Building the checker (log: $build/build.log)..."
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" &&
       cmake --build "$build" -j2 --target HalvaneDevicesChecker run_session; } >"$build/build.log" 2>&1; then
  tail -n 40 "$build/build.log" >&2
  exit 1
fi
# The same source gives the same bytes: compare a download's SHA-256 with this one.
echo "SHA-256 $(sha256sum "$build/bin/HalvaneDevicesChecker.exe" | cut -d' ' -f1)  HalvaneDevicesChecker.exe"

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

# Where no sound card exists, Wine's ALSA driver writes a dozen "ALSA lib ..." lines to stderr
# while it looks for one. Only those lines are dropped: the audio drivers stay as Wine chose
# them, and every other message, Wine's errors included, still shows.
without_alsa_noise() {
  { "$@" 2>&1 1>&3 3>&- | { grep --line-buffered -v '^ALSA lib ' || true; } >&2; } 3>&1
}

rm -f "$WINEPREFIX/drive_c/checker.bmp" "$build/checker.png"
without_alsa_noise wine "$build/bin/run_session.exe" "${session[@]}" -- "$@"
if [ -f "$WINEPREFIX/drive_c/checker.bmp" ]; then
  /usr/bin/convert "$WINEPREFIX/drive_c/checker.bmp" "$build/checker.png"
  rm -f "$WINEPREFIX/drive_c/checker.bmp"
  echo "Screenshot saved as $build/checker.png"
fi
