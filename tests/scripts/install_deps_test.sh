#!/usr/bin/env bash
# install-deps.sh on a machine where every package is missing, with the package tools replaced
# by stand-ins that print as much as apt does: a run that works prints one line per step and
# keeps the tools' output in the log; a step that fails shows the end of the log and stops.
# Usage: install_deps_test.sh SOURCE_DIR
set -u
source_dir=$1
[ "$(id -u)" -eq 0 ] || { echo "needs root, as install-deps.sh does"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'SHIM'
#!/bin/sh
exit 1
SHIM
cat >"$work/bin/dpkg" <<'SHIM'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && exit 0
echo "dpkg $*"
SHIM
cat >"$work/bin/apt-get" <<'SHIM'
#!/bin/sh
for i in $(seq 1 300); do echo "apt-get $1 line $i"; done
if [ "$1" = "${FAIL_STEP:-none}" ]; then
  echo "E: Unable to locate package wine32:i386"
  exit 100
fi
exit 0
SHIM
chmod +x "$work/bin/"*

status=0
fail() { echo "FAIL: $*"; status=1; }

# A run that works: three step lines, nothing of the tools, all of it in the log.
out=$(PATH="$work/bin:$PATH" "$source_dir/scripts/install-deps.sh" "$work/ok/install.log" 2>&1)
code=$?
[ $code -eq 0 ] || fail "exit code $code of a run that works"
expected="Adding the i386 architecture for Wine (first run only)...
Updating the package lists (first run only)...
Installing the build tools and Wine (first run only, 22 packages; log: $work/ok/install.log)..."
[ "$out" = "$expected" ] || fail "a run that works printed:
$out"
[ "$(grep -c '^apt-get ' "$work/ok/install.log")" -eq 600 ] || fail "the log lacks the tools' output"

# The install fails: its step line, then the end of the log with apt's error, and the exit code.
out=$(FAIL_STEP=install PATH="$work/bin:$PATH" "$source_dir/scripts/install-deps.sh" "$work/bad/install.log" 2>&1)
code=$?
[ $code -ne 0 ] || fail "a failed install ended with 0"
lines=$(printf '%s\n' "$out" | wc -l)
[ "$lines" -le 30 ] || fail "a failed install printed $lines lines"
printf '%s\n' "$out" | grep -q '^Installing the build tools and Wine' || fail "no step line before the failure"
printf '%s\n' "$out" | grep -q "this step failed; the end of its log ($work/bad/install.log)" || fail "no word of the failure"
[ "$(printf '%s\n' "$out" | tail -n 1)" = "E: Unable to locate package wine32:i386" ] || fail "the log's end is not shown:
$out"
printf '%s\n' "$out" | grep -q 'apt-get update line' && fail "the output of the step that worked was shown"

# The package lists cannot be updated: the install is not tried.
out=$(FAIL_STEP=update PATH="$work/bin:$PATH" "$source_dir/scripts/install-deps.sh" "$work/update/install.log" 2>&1)
code=$?
[ $code -ne 0 ] || fail "a failed update ended with 0"
printf '%s\n' "$out" | grep -q '^Installing the build tools' && fail "the install ran after a failed update"
grep -q 'apt-get install' "$work/update/install.log" && fail "the install ran after a failed update"

[ $status -eq 0 ] && echo "quiet install: every case passed"
exit $status
