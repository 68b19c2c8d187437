#!/bin/sh
# Runs a Windows program under Wine in the build tree's private prefix (first argument), unless
# the caller has chosen a prefix already. The prefix is prepared by scripts/run-tests.sh.
default_prefix=$1
shift
: "${WINEPREFIX:=$default_prefix}"
export WINEPREFIX
: "${WINEDEBUG:=-all}"
export WINEDEBUG
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEDLLOVERRIDES
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-run: the Wine prefix $WINEPREFIX is not prepared; run scripts/run-tests.sh" >&2
  exit 125
fi
exec wine "$@"
