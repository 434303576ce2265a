#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix prepared for this run (tools/prepare-wineprefix.sh).
# CTest uses it as the cross-compiling emulator.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# The campaign's lane has a prefix, Wine server and display of its own when the run set one up.
if [ "${KESTRUN_LANE:-}" = campaign ] && [ -n "${KESTRUN_CAMPAIGN_WINEPREFIX:-}" ]; then
  export WINEPREFIX=$KESTRUN_CAMPAIGN_WINEPREFIX DISPLAY=$KESTRUN_CAMPAIGN_DISPLAY
fi
# A display-scale lane (dpi120, dpi144, ...) runs in the prefix of that DPI, with a Wine server
# and a display of its own. Without one the test finds itself at the wrong DPI and fails.
case "${KESTRUN_LANE:-}" in
  dpi*)
    if [ -n "${KESTRUN_DPI_WINEPREFIXES:-}" ]; then
      export WINEPREFIX=$KESTRUN_DPI_WINEPREFIXES/$KESTRUN_LANE
      [ -s "$WINEPREFIX.display" ] && export DISPLAY=:$(cat "$WINEPREFIX.display")
    fi ;;
esac
: "${WINEPREFIX:=${KESTRUN_WINEPREFIX:-$here/../build/wineprefix}}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/.kestrun-ready" ]; then
  "$here/prepare-wineprefix.sh" "$WINEPREFIX" >&2 || exit 1
fi
exec wine "$@"
