#!/usr/bin/env bash
# Prepares a throwaway 64-bit Wine prefix for the panel and its tests:
#   tools/prepare-wineprefix.sh PREFIX [BINDIR]
# BINDIR (default: $KESTRUN_BIN_DIR, else build/bin) holds Kestrun.exe and the simulators.
# Each simulator that needs registry set-up ships sim/<name>/prefix-setup.sh PREFIX BINDIR.
# Windows open inside one Wine virtual desktop (KESTRUN_VIRTUAL_DESKTOP=WxH, default
# 1024x768; "off" for real top-level X windows): without a window manager, Wine otherwise
# waits about two seconds for the X server on every window it hides.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
prefix=${1:?usage: prepare-wineprefix.sh PREFIX [BINDIR]}
bindir=${2:-${KESTRUN_BIN_DIR:-$root/build/bin}}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="

# One prefix per run; the lock keeps parallel callers from booting it twice.
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.kestrun-ready" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Debian's Wine does not look in its own font folder: without Tahoma, "MS Shell Dlg"
  # falls back to a wider face and the dialog units no longer match the skin.
  cp -f /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  # The maker's device, as the device-setup services enumerate it.
  key='HKLM\System\CurrentControlSet\Enum\USB\VID_5F3A&PID_0101\5&1a2b3c4d&0&1'
  wine reg add "$key" /v DeviceDesc /t REG_SZ /d "Lumirel USB Audio Device" /f >/dev/null 2>&1
  wine reg add "$key" /v ClassGUID /t REG_SZ /d "{4d36e96c-e325-11ce-bfc1-08002be10318}" /f >/dev/null 2>&1
  # A crashing program ends at once instead of waiting in the debugger.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d "" /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 0 /f >/dev/null 2>&1
  desktop=${KESTRUN_VIRTUAL_DESKTOP:-1024x768}
  if [ "$desktop" != off ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d "$desktop" /f >/dev/null 2>&1
    # Off-screen runs have no browser: the web address "opens" with a command that does nothing.
    wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ /d true /f >/dev/null 2>&1
  fi
  for setup in "$root"/sim/*/prefix-setup.sh; do
    [ -x "$setup" ] && "$setup" "$prefix" "$bindir"
  done
  wineserver -w
  touch "$prefix/.kestrun-ready"
fi
