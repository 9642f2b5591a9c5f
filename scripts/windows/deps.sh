#!/usr/bin/env bash
# Builds the libraries the Windows programs need, for 64-bit Windows with MinGW-w64, from
# Debian's own source packages, into <build folder>/deps (default build-win/deps). Each library
# is built once: a finished one leaves a stamp and is not built again. Qt comes unpacked from the
# shared prebuilt copy when there is one, else it is built by build-qt.sh (about an hour).
#   scripts/windows/deps.sh [build folder]
#   scripts/windows/deps.sh --has-qt [build folder]   exits 0 when Qt for Windows is at hand
#   (unpacked, or a prebuilt copy to unpack), 1 when it would have to be built.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
check_only=false
if [ "${1:-}" = --has-qt ]; then
    check_only=true
    shift
fi
build=$(realpath -m "${1:-$root/build-win}")
deps=$build/deps
prefix=$deps/prefix
src=$deps/src
mkdir -p "$prefix" "$src"
toolchain=$root/scripts/windows/mingw-w64-x86_64.cmake
export TOVAKI_WIN_PREFIX=$prefix
jobs=$(nproc)
if $check_only; then
    [ -f "$deps/qt-6.4.2-mingw-w64/lib/cmake/Qt6/qt.toolchain.cmake" ] ||
        [ -f "${TOVAKI_QT_ARCHIVE:-$root/../shared/toolchains/qt-6.4.2-mingw-w64.tar.xz}" ]
    exit
fi
step=
trap 'echo "building $step for Windows failed; see $deps/$step.log" >&2; tail -n 20 "$deps/$step.log" >&2 || true' ERR

# Debian source packages need a deb-src line; one is added for the archive when none is there.
ensure_sources() {
    if ! grep -rqs '^\(deb-src\|Types:.*deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        local sudo_cmd=()
        [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
            "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/tovaki-src.sources >/dev/null
        "${sudo_cmd[@]}" apt-get update -qq
    fi
}

# Unpacks Debian's source of package $1 (with Debian's patches) and prints its folder.
fetch() {
    local pkg=$1
    local dir
    dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-*" | head -n1)
    if [ -z "$dir" ]; then
        ensure_sources
        (cd "$src" && apt-get source -qq "$pkg" >/dev/null 2>&1) ||
            { echo "apt-get source $pkg failed" >&2; exit 1; }
        dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-*" | head -n1)
    fi
    echo "$dir"
}

cmake_lib() { # name source-folder cmake-options...
    local name=$1 dir=$2
    shift 2
    cmake -S "$dir" -B "$deps/build-$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=ON "$@" >"$deps/$name.log" 2>&1
    cmake --build "$deps/build-$name" --parallel "$jobs" >>"$deps/$name.log" 2>&1
    cmake --install "$deps/build-$name" >>"$deps/$name.log" 2>&1
}

built() { step=$1; [ -f "$deps/$1.done" ]; }
done_() { touch "$deps/$1.done"; echo "built $1 for Windows"; }

# zlib: Debian's source leaves out the Windows resource files its CMake build wants, so the
# library is compiled here directly, as a static library that libzip takes in.
if ! built zlib; then
    dir=$(fetch zlib)
    obj=$deps/build-zlib
    mkdir -p "$obj" "$prefix/include" "$prefix/lib"
    cp "$dir/zconf.h.in" "$obj/zconf.h" # what zlib's own configure does
    for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
        inflate inftrees trees uncompr zutil; do
        x86_64-w64-mingw32-gcc-posix -O2 -I"$obj" -c "$dir/$c.c" -o "$obj/$c.o" >>"$deps/zlib.log" 2>&1
    done
    rm -f "$prefix/lib/libz.a"
    x86_64-w64-mingw32-ar rcs "$prefix/lib/libz.a" "$obj"/*.o
    cp "$dir/zlib.h" "$obj/zconf.h" "$prefix/include/"
    done_ zlib
fi

if ! built libzip; then
    cmake_lib libzip "$(fetch libzip)" -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
        -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
        -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF \
        -DBUILD_DOC=OFF -DZLIB_INCLUDE_DIR="$prefix/include" \
        -DZLIB_LIBRARY="$prefix/lib/libz.a"
    done_ libzip
fi

if ! built pugixml; then
    cmake_lib pugixml "$(fetch pugixml)" -DPUGIXML_BUILD_TESTS=OFF
    done_ pugixml
fi

# SQLite: the single-file form is generated from the source tree on this machine (it needs
# tclsh), then compiled for Windows with the options of Debian's own build that matter here.
if ! built sqlite3; then
    dir=$(fetch sqlite3)
    amal=$deps/build-sqlite3-amalgamation
    if [ ! -f "$amal/sqlite3.c" ]; then
        mkdir -p "$amal"
        (cd "$amal" && "$dir/configure" --disable-tcl >"$deps/sqlite3.log" 2>&1 &&
            make sqlite3.c >>"$deps/sqlite3.log" 2>&1)
    fi
    mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin"
    x86_64-w64-mingw32-gcc-posix -O2 -shared -o "$prefix/bin/libsqlite3-0.dll" "$amal/sqlite3.c" \
        -DSQLITE_API='__declspec(dllexport)' -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_ENABLE_JSON1 -DSQLITE_ENABLE_FTS5 -DSQLITE_SECURE_DELETE \
        -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a" >>"$deps/sqlite3.log" 2>&1
    cp "$amal/sqlite3.h" "$amal/sqlite3ext.h" "$prefix/include/"
    done_ sqlite3
fi

# Qt for Windows.
qt=$deps/qt-6.4.2-mingw-w64
if [ ! -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    shared=${TOVAKI_QT_ARCHIVE:-$root/../shared/toolchains/qt-6.4.2-mingw-w64.tar.xz}
    if [ -f "$shared" ]; then
        tar -C "$deps" -xJf "$shared"
    else
        "$root/scripts/windows/build-qt.sh" "$deps"
    fi
fi
echo "Windows libraries ready in $deps"
