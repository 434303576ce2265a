#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a virtual display, in a throwaway
# Wine prefix that is removed afterwards.  Extra arguments go to ctest (e.g. -R audio).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
"$root/tools/build.sh" "$build"
build=$(cd "$build" && pwd)
# The test preset of tools/build.sh's configure preset.
preset=default
if [ "$build" != "$root/build" ]; then
  preset=build-dir
  export KESTRUN_BUILD_DIR=$build
fi

work=$(mktemp -d /tmp/kestrun-tests.XXXXXX)
export WINEPREFIX=$work/prefix KESTRUN_BIN_DIR=$build/bin WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  WINEPREFIX=$work/prefix-campaign wineserver -k 2>/dev/null || true
  for scaled in "$work"/dpi/dpi*[0-9]; do WINEPREFIX=$scaled wineserver -k 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

echo "Preparing the test Wine prefix..."
"$root/tools/prepare-wineprefix.sh" "$WINEPREFIX" "$build/bin"
# Two lanes run side by side, one test each at a time (ctest -j2 with a resource lock per
# lane): most of the fault campaign in a copy of the prefix with its own Wine server and virtual
# display, everything else in the prefix above on xvfb-run's display. Named objects and
# windows belong to one Wine server, so the lanes cannot see each other's simulators.
export KESTRUN_CAMPAIGN_WINEPREFIX=$work/prefix-campaign
# Tests that need a prefix of their own (the installer's, the standard user's) copy a snapshot
# taken before any test ran: a running Wine server saves its registry to disk now and then, so a
# copy of a prefix in use can hold a moment when a test had unplugged the device.
export KESTRUN_TEMPLATE_WINEPREFIX=$work/prefix-template
for copy in "$KESTRUN_CAMPAIGN_WINEPREFIX" "$KESTRUN_TEMPLATE_WINEPREFIX"; do
  cp -a "$WINEPREFIX" "$copy"
  rm -f "$copy/wineserver"
done
# The display-scale lanes (tests/CMakeLists.txt kestrun_add_dpi_runs): a copy of the snapshot per
# DPI; Wine takes LogPixels when a prefix's server starts, so each has a server (and a display) of
# its own.
export KESTRUN_DPI_WINEPREFIXES=$work/dpi
mkdir -p "$KESTRUN_DPI_WINEPREFIXES"
for dpi in 120 144 192; do
  cp -a "$KESTRUN_TEMPLATE_WINEPREFIX" "$KESTRUN_DPI_WINEPREFIXES/dpi$dpi"
  "$root/tools/set-prefix-dpi.sh" "$KESTRUN_DPI_WINEPREFIXES/dpi$dpi" "$dpi"
done
cat > "$work/run.sh" <<'INNER'
#!/usr/bin/env bash
exec 3>"$KESTRUN_CAMPAIGN_WINEPREFIX.display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$KESTRUN_CAMPAIGN_WINEPREFIX.display" ] && break; sleep 0.1; done
export KESTRUN_CAMPAIGN_DISPLAY=:$(cat "$KESTRUN_CAMPAIGN_WINEPREFIX.display")
lane() { WINEPREFIX=$KESTRUN_CAMPAIGN_WINEPREFIX DISPLAY=$KESTRUN_CAMPAIGN_DISPLAY "$@"; }
wineserver -p
lane wineserver -p
# Warm the prefixes up: a prefix's very first program occasionally stalls while Wine sets up the desktop.
timeout 60 wine cmd /c exit >/dev/null 2>&1
lane timeout 60 wine cmd /c exit >/dev/null 2>&1
# Each display-scale prefix has its display too: Wine's virtual desktops of several servers on one
# display now and then lose their X windows to each other.
scaledXvfbs=()
for scaled in "$KESTRUN_DPI_WINEPREFIXES"/dpi*[0-9]; do
  exec 4>"$scaled.display"
  Xvfb -displayfd 4 -screen 0 2048x1536x24 -nolisten tcp >/dev/null 2>&1 &
  scaledXvfbs+=($!)
  exec 4>&-
  for _ in $(seq 100); do [ -s "$scaled.display" ] && break; sleep 0.1; done
  WINEPREFIX=$scaled DISPLAY=:$(cat "$scaled.display") wineserver -p
  WINEPREFIX=$scaled DISPLAY=:$(cat "$scaled.display") timeout 60 wine cmd /c exit >/dev/null 2>&1
done
ctest -j2 "$@"
status=$?
wineserver -k
lane wineserver -k
for scaled in "$KESTRUN_DPI_WINEPREFIXES"/dpi*[0-9]; do WINEPREFIX=$scaled wineserver -k; done
kill $xvfb "${scaledXvfbs[@]}"
exit $status
INNER
chmod +x "$work/run.sh"
cd "$root"
status=0
start=$(date +%s)
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/run.sh" --preset "$preset" "$@" || status=$?
echo "Wall time of the tests: $(( $(date +%s) - start )) s"
# ctest's "Label Time Summary" above times each group (test folder). Test processes print
# "test-tally: retries=N rescues=M" for every process start they repeated and every hang they
# had to rescue; the sum over the run should be 0.
awk '/^test-tally: / { for (i = 2; i <= NF; ++i) { split($i, kv, "="); sum[kv[1]] += kv[2] } }
     END { printf "Process-start retries: %d, rescues: %d\n", sum["retries"], sum["rescues"] }' \
  "$build/Testing/Temporary/LastTest.log" 2>/dev/null || echo "Process-start retries: 0, rescues: 0"
exit $status
