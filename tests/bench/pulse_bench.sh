#!/usr/bin/env bash
# Benchmark, not a test: the real checker's hidden start (-h) under Wine on a machine of many
# devices and many left-over endpoint entries, against a small program doing the same Windows
# work once (same_work_once.exe). A private PulseAudio server offers N null sinks and N null
# sources; Wine's winepulse turns them into wave devices and endpoints; their MMDevices entries
# get an adapter name and a hardware ID, and E left-over entries per direction are added ahead
# of them. The whole run is pinned to one CPU (wineserver included). Prints the medians, their
# ratio, and how many wave devices the report completed from the store.
#
#   tests/bench/pulse_bench.sh [N=50] [E=3000] [runs=5]      (build folder: $HV_BUILD_DIR)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${HV_BUILD_DIR:-$root/build}
devices=${1:-50} leftovers=${2:-3000} runs=${3:-5}
if [ -z "${HV_PINNED:-}" ]; then
  "$root/scripts/install-deps.sh" || exit 1
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null || exit 1
  cmake --build "$build" -j2 --target HalvaneDevicesChecker same_work_once >/dev/null || exit 1
  HV_PINNED=1 exec taskset -c 0 "$0" "$@"
fi
work=$build/wine/pulse-bench
mkdir -p "$work"
# shellcheck source=../../scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
# shellcheck source=../wine/pulse_env.sh
. "$root/tests/wine/pulse_env.sh"

pa=$work/devices.pa
{
  printf '.fail\nload-module module-native-protocol-unix auth-anonymous=1 socket=@SOCKET@\n'
  for i in $(seq -w 1 "$devices"); do
    printf "load-module module-null-sink sink_name=out%s sink_properties='device.description=\"Bench Out %s\"'\n" "$i" "$i"
    printf 'load-module module-null-source source_name=in%s description="Bench In %s"\n' "$i" "$i"
  done
} >"$pa"
pulse_start "$work" "$pa" || exit 1
hv_start_xvfb || exit 1  # the checker needs a display even when it shows no window
trap 'pulse_stop; kill "${HV_XVFB_PIDS[@]}" >/dev/null 2>&1' EXIT
pulse_prefix "$work/prefix" || exit 1
checker=${HV_CHECKER:-$build/bin/HalvaneDevicesChecker.exe}  # another build of the checker to compare

# Wine writes the devices' entries on its first starts.
count_entries() { wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\$1" 2>/dev/null | grep -c '^HKEY_.*\\{'; }
for _ in 1 2 3; do
  wine "$checker" -h >/dev/null 2>&1
  [ "$(count_entries Render)" -ge "$devices" ] && break
  sleep 1
done

# Adapter names and hardware IDs for the devices' entries, and the left-over entries, in one
# Unicode .reg file.
reg=$work/store.reg
{
  printf 'Windows Registry Editor Version 5.00\n\n'
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\MMDevices\Audio' /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY_.*\\Properties$/ { key = $0; next }
         key != "" && index($0, "{A45C254E-DF1C-4EFD-8020-67D146A850E0},2") {
           printf "[%s]\n\"{b3f8fa53-0004-438e-9003-51a46e139bfc},6\"=\"Bench Card\"\n", key
           printf "\"{83da6326-97a6-4088-9453-a1923f573b29},3\"=\"{1}.ROOT\\\\MEDIA:BENCH%d\"\n\n", ++n; key = "" }'
  for direction in Render Capture; do
    for i in $(seq 1 "$leftovers"); do
      entry=$(printf '{00000000-0000-0000-0000-%012d}' "$i")
      base="HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\$direction\\$entry"
      printf '[%s]\n"DeviceState"=dword:00000004\n\n[%s\\Properties]\n' "$base" "$base"
      printf '"{a45c254e-df1c-4efd-8020-67d146a850e0},2"="Old Device %d"\n' "$i"
      printf '"{b3f8fa53-0004-438e-9003-51a46e139bfc},6"="Old Card"\n'
      printf '"{83da6326-97a6-4088-9453-a1923f573b29},3"="{1}.USB\\\\VID_0000:OLD%d"\n\n' "$i"
    done
  done
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
echo "store: $(count_entries Render) playback and $(count_entries Capture) recording entries"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
elapsed() {
  local s e
  s=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  e=$(date +%s.%N)
  awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f\n", e - s }'
}
checker_times=() yard_times=()
for _ in $(seq "$runs"); do
  checker_times+=("$(elapsed wine "$checker" -h)")
  yard_times+=("$(elapsed wine "$build/bin/same_work_once.exe")")
done
c=$(printf '%s\n' "${checker_times[@]}" | median)
y=$(printf '%s\n' "${yard_times[@]}" | median)
echo "same work once: $(wine "$build/bin/same_work_once.exe" 2>/dev/null | tr -d '\r')"
awk -v c="$c" -v y="$y" -v n="$runs" \
  'BEGIN { printf "checker -h: median %.2f s   same work once: median %.2f s   ratio %.2f   (%d runs)\n", c, y, c / y, n }'

rm -f "$WINEPREFIX/drive_c/bench-report.txt"
wine "$checker" -h -o 'C:\bench-report.txt' >/dev/null 2>&1
echo "exit code of -h: $?"
report=$(iconv -f UTF-8 -t UTF-8 "$WINEPREFIX/drive_c/bench-report.txt" 2>/dev/null | tr -d '\r')
mme=$(grep -c '^\(IN\|OUT\) MME ' <<<"$report")
completed=$(grep -c '^\(IN\|OUT\) MME .* | BENCH[0-9]* | {' <<<"$report")
echo "report: $mme wave devices, $completed of them with the hardware ID and endpoint GUID of their entry"
