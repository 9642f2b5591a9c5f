#!/usr/bin/env bash
# Makes the Windows installer tovaki-setup-<version>.exe from a Windows build (default
# build-win) into <output folder> (default: the build folder).
#   scripts/windows/package.sh [build folder] [output folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build-win}")
out=$(realpath -m "${2:-$build}")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
mkdir -p "$out"
setup=$out/tovaki-setup-$version.exe
# Only what the program needs at run time: no test library.
stage=$build/setup-stage
rm -rf "$stage"
cp -r "$build/bin" "$stage"
rm -f "$stage/Qt6Test.dll"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DAPPDIR="$stage" -DOUTFILE="$setup" \
    "$root/packaging/windows/tovaki.nsi" >&2
echo "$setup"
