#!/usr/bin/env bash
# pulse_devices.sh BIN_DIR WORK_DIR: the real checker with named audio devices. A private
# PulseAudio server offers a null sink "Halvane Test Out" and a null source "Halvane Test In";
# Wine's winepulse turns them into wave devices and Core Audio endpoints with entries in the
# MMDevices store. The test writes an adapter name, a hardware ID and an icon path into those
# entries, runs the checker ("-h -s") and checks that the report lists the WDM and MME records
# of both directions with the hardware IDs, endpoint GUIDs and icon paths the registry holds.
# Then the entries get values as a broken installer leaves them (line breaks and escapes in the
# icon path, another maker's look-alike hardware ID): every device is still one report line.
set -u
bin=$1
work=$2/pulse
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/wine-env.sh
. "$here/../../scripts/wine-env.sh"
mkdir -p "$work"

# shellcheck source=pulse_env.sh
. "$here/pulse_env.sh"
pulse_start "$work" "$here/pulse/devices.pa" || exit 1
pulse_prefix "$work/prefix" || exit 1

# A first run lets Wine write the MMDevices entries of the two devices (in a prefix just made,
# Wine may need a second start before its audio driver is up).
store='HKLM\Software\Microsoft\Windows\CurrentVersion\MMDevices\Audio'
entry_of() { pulse_entry_of "$@"; }
for _ in 1 2 3; do
  wine "$bin/HalvaneDevicesChecker.exe" -h >/dev/null 2>&1
  [ -n "$(entry_of Render 'Halvane Test Out')" ] && [ -n "$(entry_of Capture 'Halvane Test In')" ] && break
  sleep 1
done
status=0
declare -A guid
for side in "Render:Halvane Test Out:HalvaneTestOutHW" "Capture:Halvane Test In:HalvaneTestInHW"; do
  IFS=: read -r direction description hardware <<<"$side"
  g=$(entry_of "$direction" "$description")
  if [ -z "$g" ]; then
    echo "FAIL no MMDevices entry for $description"
    status=1
    continue
  fi
  guid[$direction]=$g
  key="$store\\$direction\\$g\\Properties"
  wine reg add "$key" /v '{b3f8fa53-0004-438e-9003-51a46e139bfc},6' /t REG_SZ /d "$description" /f >/dev/null 2>&1
  wine reg add "$key" /v '{83da6326-97a6-4088-9453-a1923f573b29},3' /t REG_SZ /d "{1}.ROOT\\MEDIA\\0001:$hardware" /f >/dev/null 2>&1
  wine reg add "$key" /v '{259abffc-50a7-47ce-af08-68c9a7d73366},12' /t REG_SZ /d "%SystemRoot%\\system32\\$hardware.ico,-1" /f >/dev/null 2>&1
done
[ $status -eq 0 ] || exit $status

report=$(wine "$bin/run_session.exe" --quit -- -h -s 2>/dev/null | tr -d '\r')
expect() {
  if grep -qxF -- "$1" <<<"$report"; then
    echo "ok   $1"
  else
    echo "FAIL missing: $1"
    status=1
  fi
}
expect "OUT WDM Halvane Test Out | HalvaneTestOutHW | ${guid[Render]} | ICON: %SystemRoot%\\system32\\HalvaneTestOutHW.ico,-1 "
expect "OUT MME Halvane Test Out | HalvaneTestOutHW | ${guid[Render]} | ICON: %SystemRoot%\\system32\\HalvaneTestOutHW.ico,-1 "
expect "IN WDM Halvane Test In | HalvaneTestInHW | ${guid[Capture]} | ICON: %SystemRoot%\\system32\\HalvaneTestInHW.ico,-1 "
expect "IN MME Halvane Test In | HalvaneTestInHW | ${guid[Capture]} | ICON: %SystemRoot%\\system32\\HalvaneTestInHW.ico,-1 "
expect "CONCLUSION: OK (nothing bad detected)"
grep -q '^exit code: 0$' <<<"$report" || { echo "FAIL exit code"; status=1; }
[ $status -eq 0 ] || { printf '%s\n' "--- report ---" "$report"; exit $status; }

# --- the same devices with values as a broken installer leaves them ------------------------------
# A REG_SZ value with exactly these characters, line breaks and escapes included, for regedit.
hex_text() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//'; }
# Next line (U+0085) and the line and paragraph separators (U+2028, U+2029) end a line in some
# readers too.
icon=$'C:\\a.ico\r\nOUT MME Fake | x | {d4} | ICON: b.ico\e[31m\b\xc2\x85NEL\xe2\x80\xa8LS\xe2\x80\xa9PS'
reg=$(mktemp /tmp/hv-hostile.XXXXXX.reg)
{
  # A Unicode .reg file: only there does hex(1) hold UTF-16 text.
  printf 'Windows Registry Editor Version 5.00\n\n'
  for direction in Render Capture; do
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\%s\\%s\\Properties]\n' \
      "$direction" "${guid[$direction]}"
    printf '"{259abffc-50a7-47ce-af08-68c9a7d73366},12"=hex(1):%s00,00\n' "$(hex_text "$icon")"
    # Another maker's ID in fullwidth letters, on the playback entry.
    [ "$direction" = Render ] &&
      printf '"{83da6326-97a6-4088-9453-a1923f573b29},3"=hex(1):%s00,00\n' "$(hex_text 'x:ＨａｌｖａｎｅVSOWDM')"
    printf '\n'
  done
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
rm -f "$reg"
report=$(wine "$bin/run_session.exe" --quit -- -h -s 2>/dev/null | tr -d '\r')
# Whole lines: a line break let through would split them, so each device is one line.
safe='C:\a.ico??OUT MME Fake | x | {d4} | ICON: b.ico?[31m??NEL?LS?PS'
expect "IN MME Halvane Test In | HalvaneTestInHW | ${guid[Capture]} | ICON: $safe "
expect "IN WDM Halvane Test In | HalvaneTestInHW | ${guid[Capture]} | ICON: $safe "
expect "OUT MME Halvane Test Out | ???????VSOWDM | ${guid[Render]} | ICON: $safe "
[ $status -eq 0 ] || printf '%s\n' "--- report ---" "$report"
exit $status
