#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine on a virtual display; prints their figures:
# start-up to a visible panel against a minimal Win32 dialog, region build, slider paint
# and messages, the Core Audio cycle per slider message, the simulators' own costs, how long a
# burst of external volume changes holds a click on the running panel, and start-up and peak
# memory at 100 % against 200 % display scale.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTRUN_BUILD_DIR:-$root/build}
"$root/tools/build.sh" "$build"
work=$(mktemp -d /tmp/kestrun-bench.XXXXXX)
export WINEPREFIX=$work/prefix KESTRUN_BIN_DIR=$build/bin WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  WINEPREFIX=$work/prefix-200 wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
"$root/tools/prepare-wineprefix.sh" "$WINEPREFIX" "$build/bin"
# The same prefix at 200 %: Wine takes the DPI when a prefix's server starts, so the two scales
# run in two prefixes, each with its server kept running, and their starts take turns.
cp -a "$WINEPREFIX" "$work/prefix-200"
rm -f "$work/prefix-200/wineserver"
"$root/tools/set-prefix-dpi.sh" "$work/prefix-200" 192
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
echo "== start-up at 100 % and 200 % display scale, interleaved"
WINEPREFIX=$work/prefix-200 wineserver -p
WINEPREFIX=$work/prefix-200 timeout 60 wine cmd /c exit >/dev/null 2>&1
for i in \$(seq 9); do
  timeout 60 wine startup_bench.exe --panel-once 2>/dev/null | sed 's/^/100 /'
  WINEPREFIX=$work/prefix-200 timeout 60 wine startup_bench.exe --panel-once 2>/dev/null | sed 's/^/200 /'
done | awk '\$2 == "panel" { t[\$1] = t[\$1] " " \$3; p[\$1] = (\$6 > p[\$1]) ? \$6 : p[\$1] }
  function median(list,   n, a, i, j, x) {
    n = split(list, a, " ")
    for (i = 2; i <= n; ++i) { x = a[i]; for (j = i - 1; j >= 1 && a[j] > x; --j) a[j + 1] = a[j]; a[j + 1] = x }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  END {
    for (s = 100; s <= 200; s += 100) printf "panel at %d %%: median %.1f ms over%s ms; peak working set %d KiB\n", s, median(t[s]), t[s], p[s]
    printf "200 %% / 100 %% (medians): %.2fx\n", median(t[200]) / median(t[100])
  }'
WINEPREFIX=$work/prefix-200 wineserver -k
wineserver -k
INNER
chmod +x "$work/run.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/run.sh"
