#!/usr/bin/env bash
# Cross-builds the Windows programs and tests into <build folder> (default build-win), using the
# Linux build in <host build> (default build-test) for the build tools' output.
#   scripts/windows/build.sh [build folder] [host build folder]
# TOVAKI_WIN_TESTS=OFF leaves the tests out (the installer's build).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-win}")
host=$(realpath -m "${2:-$root/build-test}")
"$root/scripts/windows/deps.sh" "$build"
prefix=$build/deps/prefix
qt=$build/deps/qt-6.4.2-mingw-w64
if [ ! -f "$build/CMakeCache.txt" ]; then
    PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH='' \
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_TESTING="${TOVAKI_WIN_TESTS:-ON}" \
        -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/scripts/windows/mingw-w64-x86_64.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DTOVAKI_WIN_PREFIX="$prefix" -DTOVAKI_HOST_APP_DIR="$host/bin" >"$build/configure.log" 2>&1 ||
        { tail -n 30 "$build/configure.log" >&2; rm -f "$build/CMakeCache.txt"; exit 1; }
fi
cmake --build "$build" --parallel "$(nproc)"
