#!/bin/sh
# expect_exit_code.sh CODE COMMAND...: runs the command and fails unless it exits with CODE.
expected=$1
shift
"$@"
actual=$?
if [ "$actual" -ne "$expected" ]; then
  echo "exit code $actual, expected $expected" >&2
  exit 1
fi
echo "exit code $actual as expected"
