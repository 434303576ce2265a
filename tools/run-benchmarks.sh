#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine on a virtual display; prints their figures:
# start-up to a visible panel against a minimal Win32 dialog, region build, slider paint
# and messages, the Core Audio cycle per slider message, the simulators' own costs, and how
# long a burst of external volume changes holds a click on the running panel.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
"$root/tools/build.sh" "$build"
work=$(mktemp -d /tmp/kestrun-bench.XXXXXX)
export WINEPREFIX=$work/prefix KESTRUN_BIN_DIR=$build/bin WINEDEBUG=-all
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
"$root/tools/prepare-wineprefix.sh" "$WINEPREFIX" "$build/bin"
cat > "$work/run.sh" <<INNER
#!/usr/bin/env bash
wineserver -p
timeout 60 wine cmd /c exit >/dev/null 2>&1
cd "$build/bin"
for b in "startup_bench.exe 7" "artwork_bench.exe 7" controls_benchmark.exe audio_benchmark.exe coreaudiobench.exe coreaudioburst.exe; do
  set -- \$b
  [ -f "\$1" ] || continue
  echo "== \$b"
  timeout 300 wine "\$@" 2>&1 | grep -v "^X connection"
done
wineserver -k
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/run.sh"
