#!/usr/bin/env bash
# The layers hold: a planted include that points up a layer does not build (and fails for that
# reason), its downward control does, and no product include climbs out of its folder with "..".
# Usage: check_layers.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
status=0

log=$(cmake --build "$build" --target planted_upward_include 2>&1)
if [ $? -eq 0 ]; then
  echo "FAIL: the upward include built"; status=1
elif ! grep -q 'app/app_state.h: No such file' <<<"$log"; then
  echo "FAIL: the upward include failed for another reason:"; echo "$log"; status=1
else
  echo "ok: base/ cannot include app/app_state.h"
fi

if ! log=$(cmake --build "$build" --target planted_downward_include 2>&1); then
  echo "FAIL: the downward control did not build:"; echo "$log"; status=1
else
  echo "ok: app/ includes base/device_record.h"
fi

climbing=$(cd "$source" && grep -rn '#include *"[^"]*\.\.' base sources inventory checks report app)
if [ -n "$climbing" ]; then
  echo "FAIL: includes that climb out of their folder:"; echo "$climbing"; status=1
else
  echo "ok: no include climbs out with .."
fi
exit $status
