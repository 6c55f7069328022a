#!/usr/bin/env bash
# Configures and builds Kavenra into ./build (or $KAVENRA_BUILD_DIR): every target, or only the
# targets named as arguments (and what they need).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVENRA_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
targets=()
if (($# > 0)); then targets=(--target "$@"); fi
cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
