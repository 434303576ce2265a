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
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

echo "Preparing the test Wine prefix..."
"$root/tools/prepare-wineprefix.sh" "$WINEPREFIX" "$build/bin"
# One Wine server for the whole run, started on the virtual display with the tests.
cat > "$work/run.sh" <<'INNER'
#!/usr/bin/env bash
wineserver -p
# Warm the prefix up: its very first program occasionally stalls while Wine sets up the desktop.
timeout 60 wine cmd /c exit >/dev/null 2>&1
ctest "$@"
status=$?
wineserver -k
exit $status
INNER
chmod +x "$work/run.sh"
cd "$root"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/run.sh" --preset "$preset" "$@"
