#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix prepared for this run (tools/prepare-wineprefix.sh).
# CTest uses it as the cross-compiling emulator.
set -u
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=${KESTRUN_WINEPREFIX:-$here/../build/wineprefix}}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/.kestrun-ready" ]; then
  "$here/prepare-wineprefix.sh" "$WINEPREFIX" >&2 || exit 1
fi
exec wine "$@"
