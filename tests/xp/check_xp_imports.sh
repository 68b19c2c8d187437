#!/usr/bin/env bash
# check_xp_imports.sh OBJDUMP ALLOWLIST EXE...
# Fails when a shipped executable would not start on Windows XP SP3: a subsystem or OS version
# above 5.1, a DLL that is not part of Windows, or an imported function missing from the reviewed
# allowlist of functions that XP SP3 exports.
set -u
objdump=$1
allowlist=$2
shift 2

status=0
for exe in "$@"; do
  dump=$("$objdump" -p "$exe") || { echo "$exe: objdump failed"; status=1; continue; }
  for field in MajorSubsystemVersion MajorOSystemVersion; do
    value=$(awk -v f="$field" '$1 == f { print $2 }' <<<"$dump")
    [ "$value" = 5 ] || { echo "$exe: $field is '$value', not 5"; status=1; }
  done
  for field in MinorSubsystemVersion MinorOSystemVersion; do
    value=$(awk -v f="$field" '$1 == f { print $2 }' <<<"$dump")
    [ "$value" = 1 ] || { echo "$exe: $field is '$value', not 1"; status=1; }
  done

  # One "DLL function" line per import, the DLL name in lower case.
  imports=$(awk '
    /DLL Name:/ { dll = tolower($3); next }
    dll != "" && /^\t[0-9a-f]+\t/ { print dll, $3; next }
    /^$/ && dll != "" { dll = "" }
  ' <<<"$dump" | sort -u)
  [ -n "$imports" ] || { echo "$exe: no imports found"; status=1; }

  count=0
  while read -r dll function; do
    [ -n "$dll" ] || continue
    count=$((count + 1))
    if ! grep -qixF "$dll $function" "$allowlist"; then
      echo "$exe: $dll $function is not on the Windows XP allowlist"
      status=1
    fi
  done <<<"$imports"
  echo "$exe: $count imports checked"
done
exit $status
