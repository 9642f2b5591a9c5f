#!/usr/bin/env bash
# Builds Qt 6.4.2 for 64-bit Windows with MinGW-w64 from Debian's own qt6-base source into
# <deps folder>/qt-6.4.2-mingw-w64 (Core, Gui, Widgets, Test, PrintSupport; the windows,
# offscreen and minimal platforms). About an hour on two processors: deps.sh uses the shared
# prebuilt copy instead whenever it is there. The host tools (moc, rcc, uic) are Debian's Qt 6.4.2
# (qt6-base-dev-tools), so both sides must stay at 6.4.2.
#   scripts/windows/build-qt.sh <deps folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deps=$(realpath -m "$1")
work=$deps/qt-build
mkdir -p "$work"
cd "$work"
if [ ! -d qtbase-everywhere-src-6.4.2 ]; then
    if ! ls qt6-base_6.4.2+dfsg.orig.tar.xz >/dev/null 2>&1; then
        if ! grep -rqs '^\(deb-src\|Types:.*deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
            sudo_cmd=()
            [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
            printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
                "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/tovaki-src.sources >/dev/null
            "${sudo_cmd[@]}" apt-get update -qq
        fi
        apt-get source --download-only qt6-base
    fi
    tar xf qt6-base_6.4.2+dfsg.orig.tar.xz
    # Debian's source lacks the pen-tablet header: the windows platform is built without tablet
    # input, without the direct2d plugin, and without a dynamic-OpenGL branch.
    (cd qtbase-everywhere-src-6.4.2 && patch -p1 <"$here/qt-6.4.2-mingw.patch")
fi
cmake -G Ninja -S qtbase-everywhere-src-6.4.2 -B build \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$deps/qt-6.4.2-mingw-w64" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DINPUT_openssl=no \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_vulkan=OFF
cmake --build build --parallel "$(nproc)"
cmake --install build
