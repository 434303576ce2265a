#!/usr/bin/env bash
# Sets a Wine prefix's display scale: tools/set-prefix-dpi.sh PREFIX DPI (96 = 100 %, 192 = 200 %).
# Wine reads LogPixels when its server starts, so the prefix's server is ended here.
set -eu
export WINEPREFIX=${1:?usage: set-prefix-dpi.sh PREFIX DPI} WINEDEBUG=-all
dpi=${2:?usage: set-prefix-dpi.sh PREFIX DPI}
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
