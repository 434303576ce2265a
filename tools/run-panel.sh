#!/usr/bin/env bash
# Builds Kestrun and runs it under Wine on the simulated device (driver library and
# Core Audio simulators, the maker's USB device key).  With $DISPLAY set the panel opens
# there; without one it runs on a virtual display and a screenshot's path is printed:
#   tools/run-panel.sh [OUT.png [DPI]]    DPI 192 shows the panel at 200 % display scale
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
# The demo's parts only: no GoogleTest and no test programs before the first look.
"$root/tools/build.sh" "$build" Kestrun osConfLib KestrunCoreAudioSim coreaudioctl

export KESTRUN_BIN_DIR=$build/bin WINEDEBUG=${WINEDEBUG:--all}
if [ -n "${DISPLAY:-}" ]; then
  # A real top-level window on the user's display.
  export WINEPREFIX=${KESTRUN_DEMO_PREFIX:-$build/wineprefix-demo} KESTRUN_VIRTUAL_DESKTOP=off
  "$root/tools/prepare-wineprefix.sh" "$WINEPREFIX" "$build/bin"
  cd "$build/bin"
  exec wine Kestrun.exe
fi
dpi=${2:-96}
export WINEPREFIX=${KESTRUN_DEMO_PREFIX:-$build/wineprefix-screenshot-$dpi} KESTRUN_VIRTUAL_DESKTOP=800x450
"$root/tools/prepare-wineprefix.sh" "$WINEPREFIX" "$build/bin"
shot=${1:-$build/kestrun-panel.png}
"$root/tools/screenshot-panel.sh" "$shot" "$dpi"
echo "Screenshot of the running panel: $shot"
