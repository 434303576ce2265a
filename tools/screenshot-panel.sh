#!/usr/bin/env bash
# Starts Kestrun on a private virtual display, waits for the panel, writes a screenshot:
#   tools/screenshot-panel.sh OUT.png     (WINEPREFIX and KESTRUN_BIN_DIR must be set)
set -eu
out=${1:?usage: screenshot-panel.sh OUT.png}
bindir=${KESTRUN_BIN_DIR:?set KESTRUN_BIN_DIR}
export WINEDEBUG=${WINEDEBUG:--all}
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
xvfb-run -a -s "-screen 0 800x450x24" "$inner"
