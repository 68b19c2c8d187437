#!/usr/bin/env bash
# json_reports.sh SOURCE_DIR BIN_DIR PREFIX WORK_DIR: the JSON report of every golden scenario,
# checked against its schema and against the text report of the same tests
# (check_json_reports.py). The unit tests of the golden reports and the GUI test of "Save Report
# As..." leave their files in WORK_DIR/json as they run; the real checker writes one here with
# "-h -o", whose exit code is compared too.
set -u
source=$1
bin=$2
prefix=$3
out=$4/json
mkdir -p "$out"
windows_out="Z:${out//\//\\}"
"$source/tests/wine/wine-run.sh" "$prefix" "$bin/HalvaneDevicesChecker.exe" -h -o "$windows_out\\hidden start.JSON" 2>/dev/null
echo $? >"$out/hidden start.exit"
mv "$out/hidden start.JSON" "$out/hidden_start.json" 2>/dev/null
mv "$out/hidden start.exit" "$out/hidden_start.exit"

exec /usr/bin/python3 "$source/tests/report/check_json_reports.py" "$source/report/checker-report.schema.json" "$out" \
  empty_machine left_overs every_message every_cause every_cause_fixed large_numbers audio_services_down two_drivers_installed two_drivers_and_a_silent_filter \
  filter_not_responding_-1 filter_not_responding_256 filter_refusing_-1 \
  many_store_entries hostile_store save_as_json hidden_start
