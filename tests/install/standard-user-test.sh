#!/usr/bin/env bash
# The panel as a standard Windows user meets it: the real Kestrun.exe in a root-owned folder,
# run by an unprivileged Unix user with a Wine prefix of its own (Wine then enforces the Unix
# permissions, as Windows refuses a standard user Program Files), and a click on its link button:
#   standard-user-test.sh SOURCE_DIR BUILD_DIR
# Creates that user, so it needs root (CI runs as root); anyone else gets a skip (77).
set -u
src=${1:?usage: standard-user-test.sh SOURCE_DIR BUILD_DIR}
build=${2:?usage: standard-user-test.sh SOURCE_DIR BUILD_DIR}
bindir=$build/bin
. "$src/tests/install/script-support.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: only root can create the unprivileged user this test runs the panel as"
  exit 77
fi
user=kestrun-standard
# Kept for later runs: another run may be using it right now.
id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user" ||
  id -u "$user" >/dev/null || exit 1  # or another run made it just now

work=$(mktemp -d /tmp/kestrun-standard-user.XXXXXX)
chmod 755 "$work"
app=$work/app      # the install folder: root's, readable by all
tools=$work/tools  # the probe and the Core Audio simulator, outside that folder
prefix=$work/prefix
xvfb_pid=
as_user() {
  runuser -u "$user" -- env -i PATH="$PATH" HOME="$work/home" WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" DISPLAY="$display" "$@"
}
cleanup() {
  [ -n "$xvfb_pid" ] && { as_user wineserver -k 2>/dev/null; kill "$xvfb_pid" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT


mkdir -p "$app" "$tools" "$work/home"
cp "$bindir/Kestrun.exe" "$app/"
cp -r "$bindir/osConfLibFlie" "$app/"
cp "$bindir/install_probe.exe" "$bindir/KestrunCoreAudioSim.dll" "$tools/"
chmod -R a+rX "$app" "$tools"
chown "$user" "$work/home"

# The user's prefix: a copy of the run's prepared one, with the simulator registered where this
# user can read it, then handed over (Wine refuses a prefix that is not the user's own).
own_test_prefix "$src" "$prefix" "$bindir" >"$work/prefix.log" 2>&1 &&
  WINEPREFIX=$prefix "$src/sim/coreaudio/prefix-setup.sh" "$prefix" "$tools" >>"$work/prefix.log" 2>&1 &&
  WINEPREFIX=$prefix wineserver -w && rm -f "$prefix/wineserver" &&
  chown -R "$user" "$prefix" || { cat "$work/prefix.log"; echo "FAIL  the user's prefix"; exit 1; }

# A display of the test's own: xvfb-run's server admits only holders of its auth file, which
# this user cannot read; an Xvfb started without -auth admits local clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(head -n 1 "$work/display")
[ "$display" != ":" ] || { cat "$work/xvfb.log"; echo "FAIL  Xvfb starts"; exit 1; }

original=$'[CPL]\r\nlrchannel_linked=1\r\ncplversion=1.0.0.0\r\n\r\n[Notes]\r\nkept=yes\r\n'
clicked=${original/lrchannel_linked=1/lrchannel_linked=0}
# Edited by hand: the value's text is longer than what the click writes, so a rewrite in place
# that did not cut the file would leave the old file's last bytes behind.
edited=$'; by hand\r\n[CPL]\r\nlrchannel_linked = 0001 ; on \r\ncplversion=1.0.0.0\r\n\r\n[Notes]\r\nkept=yes\r\n'
edited_clicked=${edited/lrchannel_linked = 0001 ; on /lrchannel_linked =0}
# The folder's entries with their owners and modes, not their sizes.
listing() { ls -la --time-style=+ "$app" | awk '{print $1, $3, $4, $NF}'; }
# name | CPL.ini's mode | what it holds before | what it holds after a click on the link button
cases=(
  "mode 644|644|$original|$original"  # read-only: the click changes no byte
  "mode 666|666|$original|$clicked"   # as the installer's grant to Users leaves it: the click is saved
  "mode 666, edited by hand|666|$edited|$edited_clicked"
)
for c in "${cases[@]}"; do
  IFS='|' read -r -d '' name mode before want < <(printf '%s' "$c")
  echo "== CPL.ini of $name in a folder the user may not write"
  printf '%s' "$before" >"$app/CPL.ini"
  chmod "$mode" "$app/CPL.ini"
  listing_before=$(listing)
  out=$(as_user wine "$tools/install_probe.exe" link-click "$(winpath "$app/Kestrun.exe")" 2>&1 | tr -d '\r')
  echo "$out" | sed 's/^/      /'
  expect "$name: the panel answers after the click and ends cleanly" "$(echo "$out" | grep -E '^(clicked|ended)=' | tr '\n' ' ')" \
    "clicked=yes answered=yes ended=yes exit-code=0 "
  if [ "$(cat "$app/CPL.ini"; echo .)" = "$want." ]; then
    pass "$name: CPL.ini holds what it should, byte for byte"
  else
    fail "$name: CPL.ini holds what it should, byte for byte" "$(od -c "$app/CPL.ini" | head -8)"
  fi
  # Nothing new beside it, and the file is still root's with its mode: rewritten in place.
  expect "$name: nothing else in the folder, CPL.ini still root's" "$(listing)" "$listing_before"
done

summary standard_user_tests
