# Sourced by the scripts that need named audio devices under Wine: a private PulseAudio server
# whose devices a .pa script loads, and a 32-bit Windows 7 prefix whose audio driver uses it.
#
#   pulse_start WORK_DIR PA_FILE     (in PA_FILE, @SOCKET@ stands for the private socket)
#   pulse_prefix PREFIX_DIR          (made on first use; exports WINEPREFIX, starts wineserver)
#   pulse_stop                       (also run on exit)

HV_PULSE_PID=

pulse_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  if [ -n "$HV_PULSE_PID" ]; then
    kill "$HV_PULSE_PID" >/dev/null 2>&1
    wait "$HV_PULSE_PID" 2>/dev/null
    HV_PULSE_PID=
  fi
}

pulse_start() {
  local pulse=$1/server
  rm -rf "$pulse"
  mkdir -p "$pulse/run" "$pulse/state" "$pulse/config" "$pulse/home"
  sed "s|@SOCKET@|$pulse/native|" "$2" >"$pulse/devices.pa"
  printf 'autospawn = no\n' >"$pulse/client.conf"
  export PULSE_RUNTIME_PATH=$pulse/run PULSE_STATE_PATH=$pulse/state PULSE_CONFIG_PATH=$pulse/config
  export PULSE_CLIENTCONFIG=$pulse/client.conf PULSE_SERVER=unix:$pulse/native
  HOME=$pulse/home pulseaudio -n -F "$pulse/devices.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disallow-exit --log-target=file:"$pulse/log" &
  HV_PULSE_PID=$!
  trap pulse_stop EXIT
  for _ in $(seq 100); do [ -S "$pulse/native" ] && break; sleep 0.1; done
  [ -S "$pulse/native" ] || { echo "PulseAudio did not start:"; cat "$pulse/log"; return 1; }
}

pulse_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset WINEARCH  # the prefix decides once it exists
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    hv_make_test_prefix win32 pulse || return 1
  fi
  wineserver -p >/dev/null 2>&1
}

# The MMDevices entry of a direction ("Render", "Capture") whose description is the given text.
pulse_entry_of() {
  wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\$1" /s 2>/dev/null |
    tr -d '\r' | awk -v want="$2" '
    /^HKEY_/ { key = $0; next }
    index($0, "{A45C254E-DF1C-4EFD-8020-67D146A850E0},2") {
      value = $0; sub(/.*REG_SZ[ \t]+/, "", value)
      if (value == want) { n = split(key, parts, "\\"); print parts[n - 1]; exit }
    }'
}
