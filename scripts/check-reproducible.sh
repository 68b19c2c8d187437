#!/usr/bin/env bash
# Builds the checker from the same source in a folder of another name, at another time, and
# compares the executables byte for byte: two such builds, or one and a given executable (the
# test command's own build). Prints the SHA-256 that every build of this source has.
# Usage: scripts/check-reproducible.sh [EXE]   (installs what is missing, as the other commands do)
# HV_BUILD_JOBS: the build's parallel jobs (2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build_copy() {  # folder
  local source="$work/$1/source code"
  mkdir -p "$source"
  # What git would commit: tracked files as they are now, and new files not ignored.
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
     tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -C "$source" -xf -
  cmake -S "$source" -B "$work/$1/out" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-mingw-i686.cmake" \
    -DHV_BUILD_TESTS=OFF >/dev/null
  cmake --build "$work/$1/out" -j"${HV_BUILD_JOBS:-2}" --target HalvaneDevicesChecker >"$work/$1.log" 2>&1 ||
    { tail -n 40 "$work/$1.log" >&2; exit 1; }
}
if [ $# -ge 1 ]; then
  a=$1
else
  build_copy first
  sleep 2  # a time stamp taken from the clock would differ now
  a="$work/first/out/bin/HalvaneDevicesChecker.exe"
fi
build_copy "second, elsewhere"
b="$work/second, elsewhere/out/bin/HalvaneDevicesChecker.exe"
if ! cmp "$a" "$b"; then
  echo "The two builds differ." >&2
  exit 1
fi
echo "The two builds are byte-identical."
echo "SHA-256 $(sha256sum "$a" | cut -d' ' -f1)  HalvaneDevicesChecker.exe"
