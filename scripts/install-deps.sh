#!/usr/bin/env bash
# Installs the Debian packages tovaki needs to build, test and run, when any is missing.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libsqlite3-dev libpugixml-dev libzip-dev
    # Server mode: the client library to build, the server for the tests' private cluster.
    postgresql libpq-dev
    fonts-noto-cjk qt6-translations-l10n xvfb xauth openbox xdotool
    dpkg-dev desktop-file-utils appstream lintian
    libreoffice-calc-nogui poppler-utils libxlsxwriter-dev sqlite3 unzip
    # The Windows programs: cross-compiler, Wine to test them, NSIS for the installer, and tclsh
    # for SQLite's single-file source (scripts/windows/).
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 nsis tcl
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
