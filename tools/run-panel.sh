#!/usr/bin/env bash
# Builds Kestrun and runs it under Wine on the simulated device (driver library and
# Core Audio simulators, the maker's USB device key).  With $DISPLAY set the panel opens
# there; without one it runs on a virtual display and a screenshot's path is printed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
"$root/tools/build.sh" "$build"

export WINEPREFIX=${KESTRUN_DEMO_PREFIX:-$build/wineprefix-demo} KESTRUN_BIN_DIR=$build/bin
export WINEDEBUG=${WINEDEBUG:--all}
"$root/tools/prepare-wineprefix.sh" "$WINEPREFIX" "$build/bin"

if [ -n "${DISPLAY:-}" ]; then
  cd "$build/bin"
  exec wine Kestrun.exe
fi
shot=${1:-$build/kestrun-panel.png}
"$root/tools/screenshot-panel.sh" "$shot"
echo "Screenshot of the running panel: $shot"
