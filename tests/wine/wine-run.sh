#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program under Wine in one of the build
# tree's private prefixes, which scripts/run-tests.sh prepares.
export WINEPREFIX=$1
unset WINEARCH  # the prefix knows its own
shift
: "${WINEDEBUG:=-all}"
export WINEDEBUG
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEDLLOVERRIDES
# A prefix that has a display of its own (wine-env.sh's wine_prefix_own_display) uses it.
if [ -f "$WINEPREFIX/.hv-display" ]; then
  DISPLAY=$(cat "$WINEPREFIX/.hv-display")
  export DISPLAY
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-run: the Wine prefix $WINEPREFIX is not prepared; run scripts/run-tests.sh" >&2
  exit 125
fi
exec wine "$@"
