#!/usr/bin/env bash
# Starts Kestrun on a private virtual display, waits for the panel, writes a screenshot:
#   tools/screenshot-panel.sh OUT.png [DPI]    (WINEPREFIX and KESTRUN_BIN_DIR must be set)
# With DPI (96 is 100 %, 192 is 200 %), the prefix is set to that display scale first and
# stays so; the virtual display grows with the scale.
set -eu
out=${1:?usage: screenshot-panel.sh OUT.png [DPI]}
dpi=${2:-}
bindir=${KESTRUN_BIN_DIR:?set KESTRUN_BIN_DIR}
export WINEDEBUG=${WINEDEBUG:--all}
width=800 height=450
if [ -n "$dpi" ]; then
  "$(dirname "$0")/set-prefix-dpi.sh" "$WINEPREFIX" "$dpi"
  width=$(( 800 * dpi / 96 )) height=$(( 450 * dpi / 96 ))
fi
inner=$(mktemp /tmp/kestrun-shot.XXXXXX.sh)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<INNER
#!/usr/bin/env bash
xsetroot -solid '#3a4a5a' 2>/dev/null || true
cd "$bindir"
wine Kestrun.exe &
pid=\$!
for i in \$(seq 1 60); do
  sleep 1
  xdotool search --name "Vexmora USB Audio Driver" >/dev/null 2>&1 && break
done
sleep 3
import -window root "$out"
wineserver -k 2>/dev/null || true
wait \$pid 2>/dev/null || true
INNER
chmod +x "$inner"
xvfb-run -a -s "-screen 0 ${width}x${height}x24" "$inner"
