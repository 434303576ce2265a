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
