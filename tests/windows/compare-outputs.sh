#!/usr/bin/env bash
# The Linux and the Windows tovaki-report write the same files from the same data: the CSV
# exports byte for byte (both encodings), the workbooks part for part (every sheet, the shared
# texts and the styles; the package's own time stamps aside).
#   tests/windows/compare-outputs.sh <Linux build> <Windows build>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(realpath "$1")
windows=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/tovaki-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The data: the shipped empty file with the profit table's fixed data, and a supplier whose
# names need both encodings' care.
db="$work/山田 花子/books.db"
out="$work/出力 先"
mkdir -p "$(dirname "$db")"
cp "$linux/bin/sys/db1.empty" "$db"
sqlite3 "$db" <"$root/tests/reports/data/profit_fixture.sql"
fail=0
run() { # name args...: runs both programs into out-linux/<name> and out-windows/<name>
    local name=$1
    shift
    mkdir -p "$out/linux/$name" "$out/windows/$name"
    "$linux/bin/tovaki-report" "$@" --db "$db" --out "$out/linux/$name" >/dev/null
    "$root/scripts/windows/wine-run.sh" "$windows/bin/tovaki-report.exe" "$@" --db "$db" \
        --out "$out/windows/$name" >/dev/null
}
same() { # what file-a file-b
    if ! cmp -s "$2" "$3"; then
        echo "differs: $1" >&2
        fail=1
    fi
}
run csv-ledger export ledger --from 2024/01/01 --to 2024/12/31
run csv-ledger-utf8 export ledger --encoding utf-8
run csv-suppliers export suppliers
run profit profit --from 2024/01/21 --to 2024/04/20 --ranking on
run ledger ledger --from 2024/01/01 --to 2024/04/30
run suppliers suppliers
run tax tax --from 2024/01/01 --to 2024/12/31
for dir in "$out"/linux/*; do
    name=$(basename "$dir")
    a=$(find "$dir" -type f | head -n1)
    b=$(find "$out/windows/$name" -type f | head -n1)
    if [ -z "$a" ] || [ -z "$b" ]; then
        echo "missing output: $name (Linux: ${a:-none}, Windows: ${b:-none})" >&2
        fail=1
        continue
    fi
    case $a in
    *.csv) same "$name" "$a" "$b" ;;
    *.xlsx)
        mkdir -p "$work/x/$name/a" "$work/x/$name/b"
        (cd "$work/x/$name/a" && unzip -q "$a")
        (cd "$work/x/$name/b" && unzip -q "$b")
        for part in $(cd "$work/x/$name/a" && find xl -type f | sort); do
            same "$name: $part" "$work/x/$name/a/$part" "$work/x/$name/b/$part"
        done
        [ "$(cd "$work/x/$name/a" && find xl -type f | sort)" = \
            "$(cd "$work/x/$name/b" && find xl -type f | sort)" ] || { echo "parts differ: $name" >&2; fail=1; }
        ;;
    esac
done
[ $fail -eq 0 ] && echo "Linux and Windows outputs are the same ($(ls "$out/linux" | wc -l) files)"
exit $fail
