#!/usr/bin/env bash
# check_xp_imports.sh OBJDUMP ALLOWLIST EXE...
# Fails when a shipped executable would not start on Windows XP SP3: a subsystem or OS version
# above 5.1, a DLL that is not part of Windows, or an imported function missing from the reviewed
# allowlist of functions that XP SP3 exports ("-" skips the function check). Fails too on an
# imported DLL outside Windows 7's KnownDLLs: Windows looks for any other name in the exe's
# folder first, so a DLL of that name in a Downloads folder would run inside the checker.
set -u
objdump=$1
allowlist=$2
shift 2

# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows 7 (ntdll is
# always mapped by the system itself).
known_dlls=" advapi32.dll clbcatq.dll comdlg32.dll difxapi.dll gdi32.dll iertutil.dll imagehlp.dll
  imm32.dll kernel32.dll lpk.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ntdll.dll ole32.dll
  oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shell32.dll shlwapi.dll urlmon.dll
  user32.dll usp10.dll wininet.dll wldap32.dll ws2_32.dll "

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

  for dll in $(awk '{ print $1 }' <<<"$imports" | sort -u); do
    case "$known_dlls" in
      *[[:space:]]"$dll"[[:space:]]*) ;;
      *) echo "$exe: $dll is not among Windows 7's KnownDLLs: a copy beside the exe would be loaded"; status=1 ;;
    esac
  done

  count=0
  while read -r dll function; do
    [ -n "$dll" ] || continue
    count=$((count + 1))
    if [ "$allowlist" != - ] && ! grep -qixF "$dll $function" "$allowlist"; then
      echo "$exe: $dll $function is not on the Windows XP allowlist"
      status=1
    fi
  done <<<"$imports"
  echo "$exe: $count imports checked"
done
exit $status
