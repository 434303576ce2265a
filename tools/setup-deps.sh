#!/usr/bin/env bash
# Installs what building and testing Kestrun needs on Debian 12, if it is missing:
# the mingw-w64 cross compiler, CMake, Wine (64-bit), Xvfb, GoogleTest's sources and
# ImageMagick for screenshots; fonts-wine gives Wine its Tahoma, which "MS Shell Dlg" maps to
# (without it the dialog falls back to a wider face and its controls overrun the skin); NSIS for
# the installer; Pillow for the artwork generator, which a test re-runs.
set -eu
packages=(cmake make g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth googletest imagemagick xdotool nsis python3-pil)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
