#!/usr/bin/env bash
# Regenerates res/bitmaps/*.bmp, res/Kestrun.ico and res/hand.cur from tools/artwork/kestrun_art.py.
# Usage: tools/artwork/generate.sh [preview.png]
# The build never runs this; the output is committed. Reruns give the same bytes.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

need=()
dpkg -s python3-pil >/dev/null 2>&1 || need+=(python3-pil)
dpkg -s fonts-dejavu-core >/dev/null 2>&1 || need+=(fonts-dejavu-core)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing ${need[*]}" >&2
  apt-get install -y "${need[@]}" >/dev/null 2>&1 || { apt-get update >/dev/null && apt-get install -y "${need[@]}"; }
fi

# Debian's python with Debian's Pillow: a python found first on PATH may lack it or render differently.
args=(--out "$root/res")
if [ $# -ge 1 ]; then args+=(--preview "$1"); fi
exec /usr/bin/python3 "$here/kestrun_art.py" "${args[@]}"
