#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root; only what is missing.
# Prints one line per step; the package tools' own output goes to a log file, whose last lines
# are shown only when a step fails.
# Usage: scripts/install-deps.sh [LOG]   (default: $HV_BUILD_DIR/install.log, or build/install.log)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
log=${1:-${HV_BUILD_DIR:-$root/build}/install.log}

packages=(
  cmake make
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686 mingw-w64-i686-dev
  googletest
  wine wine32:i386 wine64
  pulseaudio libpulse0:i386
  xvfb xauth x11-utils imagemagick
  fonts-liberation fonts-wine
  openssl osslsigncode
  python3 python3-jsonschema
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi

mkdir -p "$(dirname "$log")"
: >"$log"
# step "what the user reads" command...: runs one step with its output in the log.
step() {
  local what=$1
  shift
  echo "$what"
  echo "### $what ($*)" >>"$log"
  if ! "$@" >>"$log" 2>&1 </dev/null; then
    echo "install-deps: this step failed; the end of its log ($log):" >&2
    tail -n 25 "$log" >&2
    exit 1
  fi
}

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "Adding the i386 architecture for Wine (first run only)..." dpkg --add-architecture i386
fi
step "Updating the package lists (first run only)..." apt-get update -q
step "Installing the build tools and Wine (first run only, ${#missing[@]} packages; log: $log)..." \
  apt-get install -y -q --no-install-recommends "${missing[@]}"
