#!/usr/bin/env bash
# Runs a Windows program of the Windows build under Wine, in the build's own Wine prefix
# (<build folder>/wine, made at the first run), with the program folder's DLLs on the path.
#   scripts/windows/wine-run.sh [--test] <program.exe> [arguments...]
# With --test the program is a QtTest program: its report is written to a file (Wine does not
# pass the test library's console output on) and shown when it ends.
# TOVAKI_WIN_BUILD names the build folder (default: the folder above the program's bin/ or
# tests/). Console output reaches the caller; the exit code is the program's.
set -euo pipefail
test=false
if [ "${1:-}" = --test ]; then
    test=true
    shift
fi
exe=$(realpath "$1")
shift
build=${TOVAKI_WIN_BUILD:-}
if [ -z "$build" ]; then
    build=$(dirname "$exe")
    while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
fi
export WINEPREFIX=$build/wine
export WINEDEBUG=-all
# No prompts for the .NET and browser engines Wine would offer to install.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPATH="Z:${build//\//\\}\\bin"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
# The prefix is made once; parallel runs wait for the first.
(
    flock 9
    if [ ! -f "$WINEPREFIX/.tovaki-ready" ]; then
        mkdir -p "$WINEPREFIX"
        "$wine" wineboot -u >/dev/null 2>&1 || true
        # Wine's null display driver: windows are made and drawn without an X server (Qt's
        # event dispatcher needs a window even on the offscreen platform). Delete this value in
        # the prefix to see the windows on an X display.
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
        /usr/bin/wineserver -w 2>/dev/null || true
        touch "$WINEPREFIX/.tovaki-ready"
    fi
) 9>"$build/wine.lock"
if ! $test; then
    exec "$wine" "$exe" "$@"
fi
report=$(mktemp "${TMPDIR:-/tmp}/tovaki-wine-test.XXXXXX")
trap 'rm -f "$report"' EXIT
rc=0
"$wine" "$exe" -o "Z:${report//\//\\},txt" "$@" || rc=$?
cat "$report"
exit "$rc"
