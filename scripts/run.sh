#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kavenra from its runtime folder. The program finds
# its files beside itself, so it stays in the caller's folder, where relative arguments point.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
exec "${KAVENRA_BUILD_DIR:-$top/build}/runtime/kavenra" "$@"
