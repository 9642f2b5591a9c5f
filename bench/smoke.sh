#!/usr/bin/env bash
# Runs every benchmark once on a tiny generated data file: a check that each one still builds,
# runs to its end and passes its own cross-checks. The figures it prints mean nothing.
# smoke.sh BENCH_DIR APP_DIR [CONNINFO]
# With CONNINFO (a PostgreSQL server that lets it make databases) only the server benchmark runs.
set -euo pipefail
bench=$1 app=$2 server=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench/tovaki-bench-gen" "$work/gen/db1" 3700 >/dev/null
# Each benchmark gets its own copy: a first open migrates the file and keeps a copy beside it.
run() {
    local name=$1
    shift
    mkdir -p "$work/$name"
    cp "$work/gen/db1" "$work/$name/db1"
    echo "== tovaki-bench-$name"
    "$bench/tovaki-bench-$name" "$work/$name/db1" "$@"
}
if [ -n "$server" ]; then
    run server "$server" 3
    exit 0
fi
run ledger 1
run history 1
run profit "$app/sys/excel_format" 1 3
run csv
run tax 1
QT_QPA_PLATFORM=offscreen run ledger-view 1
