#!/usr/bin/env bash
# Sets a Wine prefix's display scale: tools/set-prefix-dpi.sh PREFIX DPI (96 = 100 %, 192 = 200 %).
# Wine reads LogPixels when its server starts, so the prefix's server is ended here.
set -eu
export WINEPREFIX=${1:?usage: set-prefix-dpi.sh PREFIX DPI} WINEDEBUG=-all
dpi=${2:?usage: set-prefix-dpi.sh PREFIX DPI}
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
# A virtual desktop (tools/prepare-wineprefix.sh; KESTRUN_VIRTUAL_DESKTOP at 100 %) grows with
# the scale, so that what fits at 100 % still fits.
base=${KESTRUN_VIRTUAL_DESKTOP:-1024x768}
if [ "$base" != off ] && wine reg query 'HKCU\Software\Wine\Explorer\Desktops' /v Default >/dev/null 2>&1; then
  width=${base%x*} height=${base#*x}
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d "$(( width * dpi / 96 ))x$(( height * dpi / 96 ))" /f >/dev/null 2>&1
fi
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
