#!/usr/bin/env bash
# Installs what building and testing Kestrun needs on Debian 12, if it is missing:
# the mingw-w64 cross compiler, CMake, Wine (64-bit), Xvfb, GoogleTest's sources and
# ImageMagick for screenshots; fonts-wine gives Wine its Tahoma, which "MS Shell Dlg" maps to
# (without it the dialog falls back to a wider face and its controls overrun the skin); NSIS for
# the installer; Pillow for the artwork generator, which a test re-runs; locales for the Chinese
# locales the language tests run the panel and the installer in (Wine takes the display language
# and the code page from them).
set -eu
packages=(cmake make g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth googletest imagemagick xdotool nsis python3-pil locales)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
locales=()
for l in zh_CN zh_TW; do
  locale -a 2>/dev/null | grep -qi "^$l\.utf-\?8$" || locales+=("$l")
done
[ ${#missing[@]} -eq 0 ] && [ ${#locales[@]} -eq 0 ] && exit 0

sudo=
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "need root (or sudo) to install: ${missing[*]} ${locales[*]}" >&2; exit 1; }
  sudo=sudo
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for l in "${locales[@]}"; do
  echo "Generating the locale $l.UTF-8" >&2
  $sudo localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
