#!/usr/bin/env bash
# Registers the Core Audio simulator in a Wine prefix as the in-process server of
# CLSID_MMDeviceEnumerator, in place of Wine's own mmdevapi:
#   sim/coreaudio/prefix-setup.sh PREFIX BINDIR
# BINDIR holds KestrunCoreAudioSim.dll (it need not exist yet: the path is what is registered).
set -eu
prefix=${1:?usage: prefix-setup.sh PREFIX BINDIR}
bindir=${2:?usage: prefix-setup.sh PREFIX BINDIR}
mkdir -p "$bindir"
bindir=$(cd "$bindir" && pwd)
export WINEPREFIX=$(cd "$prefix" && pwd) WINEDEBUG=-all

# Wine maps drive Z: to the Unix root.
dll="Z:$(printf '%s' "$bindir/KestrunCoreAudioSim.dll" | sed 's|/|\\|g')"
clsid='{BCDE0395-E52F-467C-8E3D-C4579291692E}'

# The machine-wide class and the per-user view that HKCR prefers.
for root in 'HKLM\Software\Classes' 'HKCU\Software\Classes'; do
  key="$root\\CLSID\\$clsid"
  wine reg add "$key" /ve /t REG_SZ /d "MMDeviceEnumerator class (Kestrun simulator)" /f >/dev/null 2>&1
  wine reg add "$key\\InprocServer32" /ve /t REG_SZ /d "$dll" /f >/dev/null 2>&1
  wine reg add "$key\\InprocServer32" /v ThreadingModel /t REG_SZ /d Both /f >/dev/null 2>&1
done
# Check that the registration took.
if ! wine reg query "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve 2>/dev/null | grep -qi 'KestrunCoreAudioSim.dll'; then
  echo "prefix-setup: registering KestrunCoreAudioSim.dll in $WINEPREFIX failed" >&2
  exit 1
fi
