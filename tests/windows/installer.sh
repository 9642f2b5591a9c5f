#!/usr/bin/env bash
# The Windows installer under Wine: a silent install for the current user puts the programs, the
# Start-menu entry and the uninstall entry in place; the installed tovaki-report writes a report
# from the user's data file; a silent uninstall takes the programs away and leaves the data.
#   tests/windows/installer.sh <Windows build> <setup.exe>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
setup=$(realpath "$2")
export TOVAKI_WIN_BUILD=$build
wine() { "$root/scripts/windows/wine-run.sh" "$@"; }
fail() { echo "installer test: $*" >&2; exit 1; }

wine "$setup" /S /CURRENTUSER
users=$build/wine/drive_c/users
installed=$(find "$users" -path '*/AppData/Local/Programs/tovaki/tovaki-report.exe' | head -n1)
[ -n "$installed" ] || fail "tovaki-report.exe not installed under %LOCALAPPDATA%\\Programs\\tovaki"
home=${installed%/AppData/Local/Programs/tovaki/tovaki-report.exe}
folder=$(dirname "$installed")
[ -f "$folder/tovaki.exe" ] && [ -f "$folder/sys/db1.empty" ] || fail "program files missing"
[ -f "$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/tovaki 仕入帳・売上帳.lnk" ] ||
    fail "no Start-menu entry"

# The user's books in the user's data folder, written by the installed program.
data=$home/AppData/Roaming/Quillo-soft/tovaki
rm -rf "$data"
mkdir -p "$data"
cp "$folder/sys/db1.empty" "$data/db1"
sqlite3 "$data/db1" <"$root/tests/reports/data/supplier_list.sql"
before=$(sha256sum "$data/db1" | cut -d' ' -f1)
out=$(mktemp -d "${TMPDIR:-/tmp}/tovaki-setup.XXXXXX")
trap 'rm -rf "$out" "$data"' EXIT
wine "$installed" suppliers --out "$out" >/dev/null
ls "$out"/*.xlsx >/dev/null 2>&1 || fail "the installed tovaki-report wrote no workbook"

# A silent uninstall, run in place so that it is finished when it returns.
wine "$folder/uninstall.exe" /S "_?=$(printf 'Z:%s' "${folder//\//\\}")"
[ ! -e "$folder/tovaki.exe" ] && [ ! -e "$folder/sys" ] || fail "program files left after uninstall"
[ -f "$data/db1" ] || fail "the uninstaller removed the user's data file"
[ "$(sha256sum "$data/db1" | cut -d' ' -f1)" = "$before" ] || fail "the data file changed"
echo "installer: installed, ran tovaki-report, uninstalled; the data file is still there"
