#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kavenra need.
# Quick and silent when everything is present already.
#
#   scripts/install-deps.sh [--bench]
#
# --bench  also installs what the benchmarks compare the program with (vipsthumbnail, from
#          libvips-tools, for bench_command_line); nothing else needs it.
set -euo pipefail

bench=0
for argument in "$@"; do
    case "$argument" in
        --bench) bench=1 ;;
        *)
            echo "usage: $0 [--bench]" >&2
            exit 2
            ;;
    esac
done

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev libqt6svg6
    qt6-qpa-plugins libgl-dev
    libfreeimage-dev libexiv2-dev liblcms2-dev libraw-dev zlib1g-dev libsqlite3-dev sqlite3
    # The libjpeg FreeImage's JPEG loader runs on, for the check of damaged picture data.
    libjpeg62-turbo-dev
    # HEIF and AVIF input, and the command-line encoder for making such files by hand.
    libheif-dev libheif-examples
    gdk-pixbuf-tests fonts-dejavu-core
    # What the program hands over to the desktop: opening the destination folder (xdg-open).
    xdg-utils
    # The start on a real X display: the server, and the client libraries the test asks it with.
    xvfb libxcb1-dev libxcb-xtest0-dev
    # The installed layout and the Debian package: their validators, the package's dependencies
    # worked out from the binaries (dpkg-shlibdeps, and file, which CPack asks what is a binary),
    # and the manual page's rendering check.
    desktop-file-utils appstream dpkg-dev file man-db groff-base
    # The desktop notification's test runs a session bus of its own.
    dbus-daemon
)
if [ "$bench" -eq 1 ]; then packages+=(libvips-tools); fi
# The HEVC and AV1 encoders the tests make their HEIC and AVIF files with: part of libheif1 up
# to Debian 12, separate plugin packages from libheif 1.16 on. A test fails without them.
for plugin in libheif-plugin-x265 libheif-plugin-aomenc; do
    if apt-cache show "$plugin" >/dev/null 2>&1; then packages+=("$plugin"); fi
done

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
else
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
