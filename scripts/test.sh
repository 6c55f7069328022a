#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
cd "${KAVENRA_BUILD_DIR:-$top/build}"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure --timeout 600 -j "$(nproc)"
