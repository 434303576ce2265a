#!/usr/bin/env bash
# Configures and builds Kestrun, its simulators and tests: tools/build.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${KESTRUN_BUILD_DIR:-$root/build}}
"$root/tools/setup-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"
