#!/usr/bin/env bash
# run-tests.sh with cmake replaced by a stand-in that prints as much as a build does: the build's
# output goes to the log in the build folder, and a failed configuration or build shows its step
# line, the log's end and nothing of the rest, and stops before any test.
# Usage: quiet_build_test.sh SOURCE_DIR
set -u
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cat >"$work/bin/cmake" <<'SHIM'
#!/bin/sh
step=configure
[ "$1" = --build ] && step=build
for i in $(seq 1 300); do echo "cmake $step line $i"; done
if [ "$step" = "${FAIL_STEP:-none}" ]; then
  echo "error: the $step failed here"
  exit 2
fi
exit 0
SHIM
chmod +x "$work/bin/cmake"

status=0
fail() { echo "FAIL: $*"; status=1; }

for failing in configure build; do
  build=$work/$failing
  out=$(FAIL_STEP=$failing HV_BUILD_DIR=$build PATH="$work/bin:$PATH" "$source_dir/scripts/run-tests.sh" 2>&1)
  code=$?
  [ $code -ne 0 ] || fail "a failed $failing ended with 0"
  lines=$(printf '%s\n' "$out" | wc -l)
  [ "$lines" -le 45 ] || fail "a failed $failing printed $lines lines"
  [ "$(printf '%s\n' "$out" | head -n 1)" = "Building the checker and its tests (log: $build/build.log)..." ] ||
    fail "no step line before the failed $failing:
$out"
  printf '%s\n' "$out" | grep -qx "The build failed; the end of its log ($build/build.log):" ||
    fail "no word of the failed $failing"
  [ "$(printf '%s\n' "$out" | tail -n 1)" = "error: the $failing failed here" ] || fail "the log's end is not shown:
$out"
  printf '%s\n' "$out" | grep -q 'line 1$' && fail "the start of the $failing's output was shown"
  printf '%s\n' "$out" | grep -q '^Starting Wine' && fail "the tests were started after a failed $failing"
  [ "$(grep -c "^cmake $failing line" "$build/build.log")" -eq 300 ] || fail "the log lacks the $failing's output"
done

[ $status -eq 0 ] && echo "quiet build: every case passed"
exit $status
