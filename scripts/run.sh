#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kavenra from its runtime folder.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
cd "${KAVENRA_BUILD_DIR:-$top/build}/runtime"
exec ./kavenra "$@"
