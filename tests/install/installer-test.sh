#!/usr/bin/env bash
# Builds the zip and the installer with cpack, then installs, upgrades and removes Kestrun in a
# throwaway Wine prefix of its own and checks what each step leaves:
#   installer-test.sh SOURCE_DIR BUILD_DIR
# Runs under the test run's X display; prints one line per check and a summary.
set -u
src=${1:?usage: installer-test.sh SOURCE_DIR BUILD_DIR}
build=${2:?usage: installer-test.sh SOURCE_DIR BUILD_DIR}
bindir=$build/bin
probe_exe=$bindir/install_probe.exe
started=$(date +%s)
. "$src/tests/install/script-support.sh"

work=$(mktemp -d /tmp/kestrun-install.XXXXXX)
# No desktop entries in the host's home for the Start-menu shortcut.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# English unless a step says otherwise: Wine takes the display language from the locale.
export LC_ALL=C.UTF-8
cleanup() { wineserver -k 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# The probe's output, through a file: a panel it starts inherits its output and would hold a pipe open.
# Its closing tally line goes to the log (standard error), not into the answer being compared.
probe() {
  wine "$probe_exe" "$@" >"$work/probe.out" 2>&1; local status=$?
  tr -d '\r' <"$work/probe.out" | grep -v '^test-tally:'
  tr -d '\r' <"$work/probe.out" | grep '^test-tally:' >&2
  return $status
}
ini_value() {  # ini_value FILE KEY: the value in [CPL]
  tr -d '\r' < "$1" | awk -F= -v key="$2" '/^\[/ { s = ($0 == "[CPL]") } s && $1 == key { print substr($0, length(key) + 2) }'
}
installer_language() { wine reg query "$uninst" /v "Installer Language" 2>/dev/null | tr -d '\r' | sed -n 's/^ *Installer Language *REG_SZ *//p'; }
reg_value() {  # reg_value KEY NAME
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^  /, ""); print }'
}
# Everything of ours the registry could hold, and every file outside Windows' own folders.
registry_marks() { wineserver -w; cat "$WINEPREFIX"/*.reg | grep -i -E 'kestrun|vexmora|lumirel' | grep -v '^#time' | sort; }
file_list() { wineserver -w; (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -print | sort); }

uninst='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun'
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
default_dir='C:\Program Files\Vexmora\Lumirel USB Audio Device'
dir=$WINEPREFIX/drive_c/Program\ Files/Vexmora/Lumirel\ USB\ Audio\ Device
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Kestrun.lnk

echo "== Packages (cpack) and the test prefix"
own_test_prefix "$src" "$WINEPREFIX" "$bindir" >"$work/prefix.log" 2>&1 &
prefix_job=$!
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack builds the packages"
fi
wait $prefix_job || { cat "$work/prefix.log"; fail "the test prefix is prepared"; }
wineserver -w
# Without it every installed panel ends at start-up, as on a machine without the device.
grep -q -i 'Enum\\\\USB\\\\VID_5F3A' "$WINEPREFIX/system.reg" && pass "the test prefix holds the maker's device" ||
  fail "the test prefix holds the maker's device"

echo "== One version"
resource=$(probe version "$(winpath "$bindir/Kestrun.exe")")
echo "$resource" | sed 's/^/      /'
version=$(echo "$resource" | sed -n 's/^fixed-product=//p')
expect "fixed file version is the product version" "$(echo "$resource" | sed -n 's/^fixed-file=//p')" "$version"
expect "\"ProductVersion\" is the product version" "$(echo "$resource" | sed -n 's/^ProductVersion=//p')" "$version"
zip=$work/packages/Kestrun-$version-win64.zip
setup=$work/packages/Kestrun-$version-setup.exe
[ -f "$zip" ] && pass "zip is named Kestrun-$version-win64.zip" || fail "zip is named Kestrun-$version-win64.zip" "$(ls "$work/packages")"
[ -f "$setup" ] && pass "installer is named Kestrun-$version-setup.exe" || fail "installer is named Kestrun-$version-setup.exe" "$(ls "$work/packages")"
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip") || fail "zip unpacks"
expect "zip holds Kestrun.exe and CPL.ini only" "$(cd "$work/zip" && find . -mindepth 1 | sort | tr '\n' ' ')" "./CPL.ini ./Kestrun.exe "
expect "zip's CPL.ini cplversion" "$(ini_value "$work/zip/CPL.ini" cplversion)" "$version"
if x86_64-w64-mingw32-objdump -h "$work/zip/Kestrun.exe" | grep -q '\.debug'; then
  fail "zip's Kestrun.exe is stripped"
else
  pass "zip's Kestrun.exe is stripped"
fi
echo "      sizes: $(stat -c '%n %s' "$zip" "$setup" "$work/zip/Kestrun.exe" "$work/zip/CPL.ini" | sed "s|$work/||g" | tr '\n' ';')"
setup_w=$(winpath "$setup")

registry_before=$(registry_marks)
files_before=$(file_list)

echo "== Silent install into the default folder"
wine "$setup_w" /S
expect "installed files" "$(cd "$dir" 2>/dev/null && ls | tr '\n' ' ')" "CPL.ini Kestrun-uninstall.exe Kestrun.exe "
cmp -s "$dir/Kestrun.exe" "$work/zip/Kestrun.exe" && pass "installed Kestrun.exe is the packaged one" || fail "installed Kestrun.exe is the packaged one"
expect "installed CPL.ini cplversion" "$(ini_value "$dir/CPL.ini" cplversion)" "$version"
[ -f "$shortcut" ] && pass "Start-menu shortcut" || fail "Start-menu shortcut" "no $shortcut"
expect "Uninstall DisplayName" "$(reg_value "$uninst" DisplayName)" "Kestrun"
expect "Uninstall DisplayVersion" "$(reg_value "$uninst" DisplayVersion)" "$version"
expect "Uninstall Publisher" "$(reg_value "$uninst" Publisher)" "Vexmora"
expect "Uninstall DisplayIcon" "$(reg_value "$uninst" DisplayIcon)" "$default_dir\\Kestrun.exe"
expect "Uninstall InstallLocation" "$(reg_value "$uninst" InstallLocation)" "$default_dir"
expect "Uninstall UninstallString" "$(reg_value "$uninst" UninstallString)" "\"$default_dir\\Kestrun-uninstall.exe\""
size=$(reg_value "$uninst" EstimatedSize)
[[ $size =~ ^0x[0-9a-f]+$ ]] && [ $((size)) -ge $(( $(stat -c %s "$work/zip/Kestrun.exe") / 1024 )) ] \
  && pass "Uninstall EstimatedSize ($((size)) KB)" || fail "Uninstall EstimatedSize" "'$size'"
expect "Uninstall URLInfoAbout" "$(reg_value "$uninst" URLInfoAbout)" "http://www.vexmora.com"
expect "Uninstall HelpLink" "$(reg_value "$uninst" HelpLink)" "http://www.vexmora.com"
expect "Run value (start with Windows, on for a fresh install)" "$(reg_value "$run" Kestrun)" "\"$default_dir\\Kestrun.exe\""
utf16_hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -d ' \n'; }
od -An -tx1 -v "$shortcut" | tr -d ' \n' | grep -q "$(utf16_hex 'Control panel of the Lumirel USB Audio Device (Vexmora)')" \
  && pass "shortcut's description names the device and the maker" || fail "shortcut's description names the device and the maker"
expect "the install's language is kept for upgrades and the uninstaller (English)" "$(installer_language)" "1033"
# Users may change CPL.ini, so that a panel without administrator rights keeps its link setting;
# the folder, which holds programs every user runs, stays closed to them. Wine keeps no security
# descriptor on a file: it turns the granted access into the Unix mode, the group's bits here.
expect "Users' grant reached CPL.ini (group-writable to Wine)" "$(stat -c %A "$dir/CPL.ini" | cut -c6)" "w"
expect "the folder is not loosened" "$(stat -c %a "$dir")" "$(stat -c %a "$dir/..")"
echo "== The installed panel starts, beside the simulated driver library"
# The device driver's folder, as its own installer leaves it.
cp -r "$bindir/osConfLibFlie" "$dir/"
out=$(probe start "$default_dir\\Kestrun.exe")
echo "$out" | sed 's/^/      /'
expect "installed panel starts" "$(echo "$out" | sed -n 's/^started=//p')" "yes"
expect "its version line" "$(echo "$out" | sed -n 's/^version-line=//p')" "Control Panel Version: $version"
out=$(probe exit)
expect "it ends through the tray menu's Exit" "$out" "ended=yes exit-code=0"

echo "== Upgrade over an older copy whose CPL.ini has the sliders unlinked, not started with Windows"
printf '[CPL]\r\nlrchannel_linked=0\r\ncplversion=0.9.0.0\r\n\r\n[Notes]\r\nkept=yes\r\n' > "$dir/CPL.ini"
printf 'x' >> "$dir/Kestrun.exe"  # an older build: another file, still a program
wine reg delete "$run" /v Kestrun /f >/dev/null 2>&1
wine "$setup_w" /S
expect "Run value still absent (the upgrade keeps the choice)" "$(reg_value "$run" Kestrun)" ""
expect "lrchannel_linked kept" "$(ini_value "$dir/CPL.ini" lrchannel_linked)" "0"
expect "cplversion updated" "$(ini_value "$dir/CPL.ini" cplversion)" "$version"
grep -q '^kept=yes' "$dir/CPL.ini" && pass "other CPL.ini content kept" || fail "other CPL.ini content kept" "$(cat "$dir/CPL.ini")"
cmp -s "$dir/Kestrun.exe" "$work/zip/Kestrun.exe" && pass "Kestrun.exe replaced" || fail "Kestrun.exe replaced"

echo "== Upgrade while the panel runs, /AUTOSTART=1"
printf 'x' >> "$dir/Kestrun.exe"
out=$(probe upgrade-running "$default_dir\\Kestrun.exe" "$setup_w" /AUTOSTART=1 /S)
echo "$out" | sed 's/^/      /'
expect "installer finished" "$(echo "$out" | sed -n 's/^setup-finished=//p')" "yes setup-exit-code=0"
expect "running panel ended through Exit" "$(echo "$out" | sed -n 's/^panel-ended=//p')" "yes panel-exit-code=0"
expect "the ended panel runs again, one copy" "$(echo "$out" | sed -n 's/^kestrun-processes=//p')" "1 panel-windows=1"
cmp -s "$dir/Kestrun.exe" "$work/zip/Kestrun.exe" && pass "Kestrun.exe replaced after the panel ended" || fail "Kestrun.exe replaced after the panel ended"
expect "lrchannel_linked still kept" "$(ini_value "$dir/CPL.ini" lrchannel_linked)" "0"
expect "Run value written (/AUTOSTART=1)" "$(reg_value "$run" Kestrun)" "\"$default_dir\\Kestrun.exe\""
expect "the restarted panel ends through Exit" "$(probe exit)" "ended=yes exit-code=0"

echo "== Upgrade while another program holds Kestrun.exe open without sharing"
printf 'x' >> "$dir/Kestrun.exe"
cp "$dir/Kestrun.exe" "$work/old.exe"
wine reg add "$uninst" /v DisplayVersion /t REG_SZ /d 0.9.0.0 /f >/dev/null 2>&1
out=$(probe run-locked "$default_dir\\Kestrun.exe" "$setup_w" /S)
expect "installer fails" "$(echo "$out" | grep -c '^finished=yes exit-code=[1-9]')" "1"
echo "      $out"
expect "Uninstall DisplayVersion still the old one" "$(reg_value "$uninst" DisplayVersion)" "0.9.0.0"
cmp -s "$dir/Kestrun.exe" "$work/old.exe" && pass "old Kestrun.exe intact" || fail "old Kestrun.exe intact"
expect "the same upgrade without the lock succeeds" "$(probe run "$setup_w" /S)" "finished=yes exit-code=0"
expect "Uninstall DisplayVersion now the new one" "$(reg_value "$uninst" DisplayVersion)" "$version"
cmp -s "$dir/Kestrun.exe" "$work/zip/Kestrun.exe" && pass "Kestrun.exe replaced" || fail "Kestrun.exe replaced"
expect "Run value kept (the upgrade keeps the choice)" "$(reg_value "$run" Kestrun)" "\"$default_dir\\Kestrun.exe\""

# The uninstaller copies itself to the temp folder and runs from there: wait for it.
wait_gone() {
  for _ in $(seq 1 120); do
    [ ! -e "$1" ] && { wineserver -w; return 0; }
    sleep 0.5
  done
  return 1
}

echo "== Silent uninstall while the panel runs"
expect "panel started" "$(probe start "$default_dir\\Kestrun.exe" | sed -n 's/^started=//p')" "yes"
printf 'left by an interrupted write' >"$dir/cplA1B2.tmp"
wine "$dir/Kestrun-uninstall.exe" /S
wait_gone "$dir/Kestrun-uninstall.exe" || fail "uninstaller finishes"
expect "panel ended" "$(probe processes)" "kestrun-processes=0 panel-windows=0"
expect "only the driver's folder is left" "$(cd "$dir" 2>/dev/null && ls | tr '\n' ' ')" "osConfLibFlie "
diff -r -q "$bindir/osConfLibFlie" "$dir/osConfLibFlie" >/dev/null && pass "osConfLibFlie untouched" || fail "osConfLibFlie untouched"
[ ! -e "$shortcut" ] && pass "shortcut removed" || fail "shortcut removed"
expect "Uninstall key removed" "$(wine reg query "$uninst" >/dev/null 2>&1 && echo present || echo absent)" "absent"
expect "Run value removed" "$(reg_value "$run" Kestrun)" ""

echo "== Silent install under a Simplified Chinese display language into a chosen folder (/D=) without starting with Windows, then uninstall"
other_dir=$WINEPREFIX/drive_c/Kestrun\ Panel
expect "installer with /D= finishes" "$(LC_ALL=zh_CN.UTF-8 probe run "$setup_w" /S /AUTOSTART=0 '/D=C:\Kestrun Panel')" "finished=yes exit-code=0"
od -An -tx1 -v "$shortcut" | tr -d ' \n' | grep -q "$(utf16_hex 'Lumirel USB Audio Device 控制面板 (Vexmora)')" \
  && pass "shortcut's description in Simplified Chinese" || fail "shortcut's description in Simplified Chinese"
expect "the install's language is kept (Simplified Chinese)" "$(installer_language)" "2052"
expect "no Run value (/AUTOSTART=0)" "$(reg_value "$run" Kestrun)" ""
expect "files in the chosen folder" "$(cd "$other_dir" 2>/dev/null && ls | tr '\n' ' ')" "CPL.ini Kestrun-uninstall.exe Kestrun.exe "
expect "InstallLocation" "$(reg_value "$uninst" InstallLocation)" 'C:\Kestrun Panel'
# In place (_?=), so that the lock lasts until the uninstaller is done.
probe run-locked 'C:\Kestrun Panel\Kestrun.exe' 'C:\Kestrun Panel\Kestrun-uninstall.exe' /S '_?=C:\Kestrun Panel' >/dev/null
session='HKLM\System\CurrentControlSet\Control\Session Manager'
expect "a locked exe is removed at the next restart" \
  "$(reg_value "$session" PendingFileRenameOperations | grep -c -i 'Kestrun Panel\\Kestrun.exe')" "1"
expect "until then it stays listed, with its uninstaller" \
  "$(reg_value "$uninst" InstallLocation) $(cd "$other_dir" 2>/dev/null && ls | tr '\n' ' ')" 'C:\Kestrun Panel CPL.ini Kestrun-uninstall.exe Kestrun.exe '
wine reg delete "$session" /v PendingFileRenameOperations /f >/dev/null 2>&1  # the restart
wine "$other_dir/Kestrun-uninstall.exe" /S
wait_gone "$other_dir" && pass "chosen folder removed" || fail "chosen folder removed" "$(ls "$other_dir")"

echo "== Nothing of ours left behind"
registry_after=$(registry_marks)
# The driver's folder and the folders above it were planted.
files_after=$(file_list | grep -v -e '/osConfLibFlie' -e '^./Program Files/Vexmora$' -e '^./Program Files/Vexmora/Lumirel USB Audio Device$')
expect "registry as before the first install" "$(diff <(echo "$registry_before") <(echo "$registry_after"))" ""
expect "files as before the first install (bar osConfLibFlie)" \
  "$(diff <(echo "$files_before") <(echo "$files_after") | tr '\n' ' ')" ""

summary installer_tests "in $(( $(date +%s) - started )) s"
