#!/usr/bin/env bash
# os_versions.sh BIN_DIR WORK_DIR: runs the real checker ("-h -s") in a fresh win32 and a fresh
# win64 Wine prefix under each Windows version Wine can pretend to be, and checks the report's
# OS line: the release class, the bitness and the build number. Each run also writes its JSON
# report ("-o <file>.json"), which must match its schema and the text report of the run.
set -u
bin=$1
work=$2
# shellcheck source=../../scripts/wine-env.sh
. "$(dirname "$0")/../../scripts/wine-env.sh"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
status=0
json="$work/os-json"
rm -rf "$json"
mkdir -p "$json"
scenarios=()

# version  expected line after "Operating System: "  (Wine 8 reports these builds)
expectations() {
  local bits=$1
  cat <<TABLE
winxp WIN XP ${bits} Build: 2600
win2003 WIN Server 2003 ${bits} Build: 3790
vista WIN VISTA ${bits} Build: 6002
win7 WIN 7 ${bits} Build: 7601
win2008r2 WIN VISTA ${bits} Build: 7601
win8 WIN 8 ${bits} Build: 9200
win81 WIN 8.1 ${bits} Build: 9600
win10 WIN 10 ${bits} Build: 18362
TABLE
}

for arch in win32 win64; do
  export WINEARCH=$arch WINEPREFIX="$work/os-$arch"
  bits=32Bits
  [ "$arch" = win64 ] && bits=64Bits
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    hv_make_test_prefix "$arch" none || { echo "no $arch prefix"; status=1; continue; }
  fi
  wineserver -p >/dev/null 2>&1
  while read -r version expected; do
    winever=$version
    # A 64-bit prefix has no 32-bit XP: its XP is the 64-bit edition, version 5.2.
    if [ "$arch" = win64 ] && [ "$version" = winxp ]; then
      winever=winxp64
      expected="WIN Server 2003 64Bits Build: 3790"
    fi
    wine winecfg -v "$winever" >/dev/null 2>&1
    scenario="os-$arch-$winever"
    output=$(wine "$bin/run_session.exe" --quit -- -h -s -o "Z:${json//\//\\}\\$scenario.json" 2>/dev/null | tr -d '\r')
    printf '%s\n' "$output" >"$json/$scenario.txt"
    scenarios+=("$scenario")
    line=$(grep '^Operating System: ' <<<"$output")
    if [ "$line" = "Operating System: $expected" ]; then
      echo "ok   $arch $winever: $line"
    else
      echo "FAIL $arch $winever: got '$line', expected 'Operating System: $expected'"
      status=1
    fi
    grep -q '^exit code: 0$' <<<"$output" || { echo "FAIL $arch $winever: exit code not 0"; status=1; }
  done < <(expectations "$bits")
  wineserver -k >/dev/null 2>&1
done
/usr/bin/python3 "$(dirname "$0")/../report/check_json_reports.py" "$(dirname "$0")/../../report/checker-report.schema.json" \
  "$json" "${scenarios[@]}" || status=1
exit $status
