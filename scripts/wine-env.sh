# Sourced by the run and test scripts: a private Wine prefix in the build tree, one Xvfb when
# there is no display, a persistent wineserver, and the cleanup of all of them.
#
#   wine_env_start PREFIX_DIR [win32|win64] [xvfb|display] [run|test] [DPI]
#
# The "test" profile pins the prefix to Windows 7 and turns Wine's audio drivers off, so that
# reports do not depend on the machine; "run" keeps Wine's defaults. A DPI other than 96 sets
# the display scale (LogPixels) that Wine gives every program, with a desktop large enough for
# the scaled window.
#   wine_env_stop            (also run on exit)

HV_XVFB_PIDS=()
HV_PREFIXES=()

wine_env_stop() {
  local prefix pid
  for prefix in "${HV_PREFIXES[@]}"; do
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    rm -f "$prefix/.hv-display"
  done
  HV_PREFIXES=()
  for pid in "${HV_XVFB_PIDS[@]}"; do
    kill "$pid" >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
  done
  HV_XVFB_PIDS=()
}

# Starts an Xvfb of its own and puts its display in HV_NEW_DISPLAY.
hv_new_xvfb() {
  local fifo display
  fifo=$(mktemp -u /tmp/hv-xvfb.XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  HV_XVFB_PIDS+=($!)
  read -r -t 30 display <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$display" ]; then
    echo "wine-env: Xvfb did not start" >&2
    return 1
  fi
  HV_NEW_DISPLAY=":$display"
}

hv_start_xvfb() {
  hv_new_xvfb || return 1
  export DISPLAY=$HV_NEW_DISPLAY
}

# Gives the last prefix started a display of its own (a second Xvfb), which tests/wine/wine-run.sh
# hands every program of that prefix: tests in two prefixes can then run side by side without
# sharing a clipboard, a keyboard focus or a screen.
wine_prefix_own_display() {
  local display=$DISPLAY
  hv_new_xvfb || return 1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  echo "$HV_NEW_DISPLAY" >"$WINEPREFIX/.hv-display"
  DISPLAY=$HV_NEW_DISPLAY wineserver -p >/dev/null 2>&1
  DISPLAY=$HV_NEW_DISPLAY wine cmd /c exit >/dev/null 2>&1
  export DISPLAY=$display
}

# Settings every prefix gets: fonts, no crash dialog, and (for Xvfb, which has no window
# manager) a virtual desktop, without which every window show waits about two seconds.
# audio: "default" keeps Wine's choice, "none" turns audio drivers off, else the driver's name.
# cues: "off" turns keyboard cues off as Windows ships them (Wine turns them on), so that focus
# rectangles show only after keyboard use; anything else keeps Wine's setting.
hv_prefix_settings() {
  local desktop=$1 audio=$2 dpi=${3:-96} cues=${4:-default} reg
  reg=$(mktemp /tmp/hv-prefix.XXXXXX.reg)
  {
    printf 'REGEDIT4\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
    printf '"Arial"="Liberation Sans"\n"Courier New"="Liberation Mono"\n"Times New Roman"="Liberation Serif"\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n\n'
    if [ "$audio" != default ]; then
      [ "$audio" = none ] && audio=
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\n"Audio"="%s"\n\n' "$audio"
    fi
    if [ "$cues" = off ]; then
      # Wine's default mask without bit 0x20 of its first byte (SPI_GETKEYBOARDCUES).
      printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"UserPreferencesMask"=hex:10,00,02,80,12,00,00,00\n\n'
    fi
    if [ "$dpi" != 96 ]; then
      printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n' "$dpi"
    fi
    if [ "$desktop" = yes ]; then
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="%dx%d"\n\n' \
        $((1024 * dpi / 96)) $((768 * dpi / 96))
    fi
  } >"$reg"
  wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
  rm -f "$reg"
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  for f in /usr/share/fonts/truetype/liberation/*.ttf; do
    [ -e "$f" ] && cp -n "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  return 0
}

# Wine's boot of an architecture, kept in a folder of prefixes as boot-win32 or boot-win64 (never
# run itself): every prefix there starts as a copy of it, a second instead of the 15 to 30 that
# wineboot takes here. Two boots at once (tests that make their own prefix) each boot into a
# folder of their own, and the first to rename it into place keeps it.
hv_boot_template() {
  local arch=$1 template=$2 tmp
  [ -f "$template/system.reg" ] && return 0
  mkdir -p "$(dirname "$template")"
  tmp=$(mktemp -d "$template.XXXXXX") || return 1
  if ! WINEPREFIX=$tmp WINEARCH=$arch wineboot -i >"$template.boot.log" 2>&1; then
    echo "wine-env: wineboot failed, see $template.boot.log" >&2
    rm -rf "$tmp"
    return 1
  fi
  # The registry is on disk once the boot's server has ended.
  WINEPREFIX=$tmp wineserver -w
  mv -T "$tmp" "$template" 2>/dev/null || rm -rf "$tmp"
  [ -f "$template/system.reg" ]
}

# Prepares test prefixes in FOLDER, each given as "NAME ARCH DPI" (Xvfb, the test profile), on a
# display of their own, and leaves nothing running: done beside the build, which does not need
# them.
wine_prepare_test_prefixes() {
  local folder=$1 prefix name arch dpi status=0
  shift
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  hv_start_xvfb || return 1
  for prefix in "$@"; do
    read -r name arch dpi <<<"$prefix"
    wine_prefix_prepare "$folder/$name" "$arch" xvfb test "$dpi" || status=1
  done
  wine_env_stop
  return $status
}

# A new prefix (the current WINEPREFIX) of the architecture given: a copy of its boot.
hv_boot_prefix() {
  local arch=$1 template
  template="$(dirname "$WINEPREFIX")/boot-$arch"
  rm -rf "$WINEPREFIX"
  hv_boot_template "$arch" "$template" || return 1
  cp -a "$template" "$WINEPREFIX"
}

# A new prefix for a test of its own (the current WINEPREFIX): Windows 7 unless told, a
# virtual desktop, and the audio driver given ("none" for none).
hv_make_test_prefix() {
  local arch=$1 audio=$2 version=${3:-win7}
  hv_boot_prefix "$arch" || return 1
  hv_prefix_settings yes "$audio"
  wine winecfg -v "$version" >/dev/null 2>&1
  wineserver -w
}

wine_env_start() {
  local prefix=$1 arch=${2:-win32} screen=${3:-xvfb} profile=${4:-run} dpi=${5:-96}
  trap wine_env_stop EXIT
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$screen" = xvfb ]; then
    hv_start_xvfb || return 1
  fi
  wine_prefix_start "$prefix" "$arch" "$screen" "$profile" "$dpi"
}

# Prepares one more prefix (made on first use) and starts its persistent wineserver; the
# last one started stays in WINEPREFIX. Wine reads the display scale when its server starts,
# so it is written before.
wine_prefix_start() {
  wine_prefix_prepare "$@" || return 1
  # A persistent server keeps each later Wine start fast; its output never goes to a pipe.
  wineserver -p >/dev/null 2>&1
  HV_PREFIXES+=("$WINEPREFIX")
  wine cmd /c exit >/dev/null 2>&1
}

# The prefix made (on first use) and given its profile's settings, with no server left running:
# what wine_prefix_start does before it starts the server, which can be done beforehand.
wine_prefix_prepare() {
  local prefix=$1 arch=${2:-win32} screen=${3:-xvfb} profile=${4:-run} dpi=${5:-96} fresh=no
  export WINEPREFIX=$prefix WINEARCH=$arch
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    hv_boot_prefix "$arch" || return 1
    fresh=yes
  fi
  # The stamp names the version of these settings, so that a prefix made before a change gets it.
  local stamp="$WINEPREFIX/.hv-s2-$screen-$profile"
  [ "$dpi" != 96 ] && stamp="$stamp-$dpi"
  if [ "$fresh" = yes ] || [ ! -f "$stamp" ]; then
    # Tests must not depend on the machine's sound cards: no audio driver there.
    hv_prefix_settings "$([ "$screen" = xvfb ] && echo yes || echo no)" "$([ "$profile" = test ] && echo none || echo default)" "$dpi" \
      "$([ "$profile" = test ] && echo off || echo default)"
    [ "$profile" = test ] && wine winecfg -v win7 >/dev/null 2>&1
    wineserver -w
    rm -f "$WINEPREFIX"/.hv-*
    touch "$stamp"
  fi
}
