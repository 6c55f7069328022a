#!/usr/bin/env bash
# Installs what is missing, builds what the program runs with (the program, its image worker and
# the databases and changelog of its runtime folder; the tests and benchmarks are the test
# command's), and starts Kavenra from its runtime folder. The program finds its files beside
# itself, so it stays in the caller's folder, where relative arguments point.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" kavenra kavenra-imageworker kavenra_data
exec "${KAVENRA_BUILD_DIR:-$top/build}/runtime/kavenra" "$@"
