#!/usr/bin/env bash
# Configures and builds Kestrun, its simulators and tests: tools/build.sh [BUILD_DIR [TARGET...]]
# With targets, only those (and what they need) are built.
# Uses the CMake presets: "default" for build/, "build-dir" for any other folder (KESTRUN_BUILD_DIR).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${KESTRUN_BUILD_DIR:-$root/build}}
shift $(( $# > 0 ? 1 : 0 ))
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
mkdir -p "$build"
build=$(cd "$build" && pwd)
"$root/tools/setup-deps.sh"
preset=default
if [ "$build" != "$root/build" ]; then
  preset=build-dir
  export KESTRUN_BUILD_DIR=$build
fi
cd "$root"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" "${targets[@]}"
