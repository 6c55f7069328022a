#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine with apt-get (as root, or through sudo),
# and starts the installed `kavenra` from the PATH as a new user would: from a foreign folder, with
# an empty home. It passes when the program made that user's settings from the shipped ones and is
# still running (waiting at the first start's language question). With --remove the package is
# purged again afterwards.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVENRA_BUILD_DIR:-$top/build}
remove=false
[ "${1:-}" = "--remove" ] && remove=true

"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls -t "$build"/kavenra_*.deb | head -n 1)
echo "Package: $package"

if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -q --reinstall "$package"

home=$(mktemp -d)
cleanup() {
    [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
    cd /
    rm -rf "$home"
    if $remove; then "${as_root[@]}" apt-get purge -y -q kavenra; fi
}
trap cleanup EXIT

cd "$home"
env -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen KAVENRA_ASSUME_ONLINE=0 \
    kavenra >"$home/output.txt" 2>&1 &
pid=$!
settings="$home/.config/kavenra/KVConfig.db"
for _ in $(seq 1 100); do
    [ -f "$settings" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
sleep 1
if [ ! -f "$settings" ] || ! kill -0 "$pid" 2>/dev/null; then
    echo "FAILED: the installed program did not start with new settings" >&2
    cat "$home/output.txt" >&2
    exit 1
fi
cmp -s "$settings" /usr/share/kavenra/KVConfig.db || {
    echo "FAILED: the new settings differ from the shipped ones" >&2
    exit 1
}
echo "OK: $(command -v kavenra) started and made $settings from /usr/share/kavenra/KVConfig.db"
