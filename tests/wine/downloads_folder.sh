#!/usr/bin/env bash
# downloads_folder.sh PREFIX EXE PLANTED_DLL: the checker run hidden from a folder where others
# may write, as a Downloads folder or a deployment share. They left DLLs under the names the
# checker needs (winmm, ksuser, wintrust: a DLL that leaves "<its path>.mark" when loaded), and
# Wine is told to prefer such DLLs the way Windows does for names outside KnownDLLs. None may
# run. They also prepared links at the names the report writer could use, each pointing at a
# file of theirs:
# hard links and symbolic links at every temporary name of the form "<report>.<process id>.tmp"
# (the process ids Wine hands out), at a few names of the "<report>.<16 hex digits>.tmp" form,
# a dangling symbolic link, and a symbolic link at the report's own name. A hidden run with "-o" must write its report and leave every
# such link, and every file they point to, exactly as it was.
set -u
prefix=$1
exe=$2
planted_dll=$3
here=$(cd "$(dirname "$0")" && pwd)
folder="$prefix/drive_c/planted links"
status=0

run_with_links() {  # kind: hard | symbolic
  local kind=$1
  rm -rf "$folder" && mkdir -p "$folder/victims"
  printf 'a file of someone else\r\n' >"$folder/victims/theirs.txt"
  cp "$folder/victims/theirs.txt" "$folder/victims/theirs.orig"
  local names=()
  for ((id = 4; id <= 16384; id += 4)); do names+=("report.txt.$id.tmp"); done
  names+=(report.txt.0000000000000000.tmp report.txt.00000000ffffffff.tmp report.txt.1234abcd5678ef90.tmp)
  for name in "${names[@]}"; do
    if [ "$kind" = hard ]; then ln "$folder/victims/theirs.txt" "$folder/$name"
    else ln -s "$folder/victims/theirs.txt" "$folder/$name"; fi
  done
  cp "$exe" "$folder/HalvaneDevicesChecker.exe"
  for dll in winmm ksuser wintrust; do cp "$planted_dll" "$folder/$dll.dll"; done
  if [ "$kind" = symbolic ]; then
    ln -s "$folder/victims/gone.txt" "$folder/report.txt.20000.tmp"
    ln -s "$folder/victims/theirs.txt" "$folder/report.txt"  # the report takes the link's place
  fi
  WINEDLLOVERRIDES="winmm,ksuser,wintrust=n,b;mscoree,mshtml=" \
    "$here/wine-run.sh" "$prefix" 'C:\planted links\HalvaneDevicesChecker.exe' -h -o 'C:\planted links\report.txt'
  local code=$?
  if compgen -G "$folder/*.mark" >/dev/null; then
    echo "$kind links: planted DLLs ran in the checker:" $(cd "$folder" && ls ./*.mark); status=1
  fi
  [ "$code" = 0 ] || { echo "$kind links: exit code $code, expected 0"; status=1; }
  cmp -s "$folder/victims/theirs.txt" "$folder/victims/theirs.orig" ||
    { echo "$kind links: the file they point to was changed"; status=1; }
  [ -e "$folder/victims/gone.txt" ] && { echo "$kind links: a dangling link's target was created"; status=1; }
  if [ "$(head -c 3 "$folder/report.txt" | od -An -tx1 | tr -d ' ')" != efbbbf ] ||
     ! grep -q "CONCLUSION: OK" "$folder/report.txt"; then
    echo "$kind links: no report written"; status=1
  fi
  [ -L "$folder/report.txt" ] && { echo "$kind links: the report is a link"; status=1; }
  local missing=0
  for name in "${names[@]}"; do
    if [ "$kind" = hard ]; then [ -f "$folder/$name" ] && [ ! -L "$folder/$name" ] || missing=$((missing + 1))
    else [ -L "$folder/$name" ] || missing=$((missing + 1)); fi
  done
  [ "$missing" = 0 ] || { echo "$kind links: $missing planted links were moved or deleted"; status=1; }
  if [ "$kind" = hard ] && [ "$(stat -c %h "$folder/victims/theirs.txt")" != $(( ${#names[@]} + 1 )) ]; then
    echo "hard links: the victim's link count changed"; status=1
  fi
  echo "$kind links: ${#names[@]} planted, exit code $code"
}

run_with_links hard
run_with_links symbolic
rm -rf "$folder"
exit $status
