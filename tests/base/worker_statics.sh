#!/usr/bin/env bash
# worker_statics.sh NM LIBRARY[:MEMBER]...
# Fails when code that the worker threads run has a static that is initialised when first
# reached: the product is built with -fno-threadsafe-statics, so two threads reaching it at once
# would both initialise it. Each argument is a static library, or a library and the one member
# (object file) of it that workers run.
set -u
nm=$1
shift
status=0
for argument in "$@"; do
  library=${argument%%:*}
  member=
  [ "$argument" = "$library" ] || member=${argument#*:}
  symbols=$("$nm" -A -C "$library") || { echo "$library: nm failed"; status=1; continue; }
  if [ -n "$member" ]; then
    symbols=$(grep -F "$library:$member:" <<<"$symbols")
    [ -n "$symbols" ] || { echo "$library has no member $member"; status=1; continue; }
  fi
  # GCC gives each such static a guard variable, with or without the lock.
  guards=$(grep -F "guard variable for" <<<"$symbols")
  if [ -n "$guards" ]; then
    echo "$guards"
    status=1
  fi
done
[ $status = 0 ] && echo "no guarded static in the worker code"
exit $status
