#!/bin/sh
# A private PostgreSQL cluster for the tests of server mode.
#   pg-cluster.sh start DIR   initdb into DIR/data, a server on a Unix socket in DIR (no TCP),
#                             trust authentication, a superuser named as the caller; writes the
#                             connection string to DIR/conninfo
#   pg-cluster.sh stop DIR    stops it and removes DIR
#   pg-cluster.sh halt DIR    stops the server of DIR and keeps its data (a server gone away)
#   pg-cluster.sh resume DIR  starts the server of DIR again on the same data
# The server refuses to run as root: under root it runs as the postgres user on a folder that
# user owns. PG_BIN names the server's programs (default: the newest /usr/lib/postgresql/*/bin).
set -eu
cmd=${1:-}
dir=${2:-}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
    echo "usage: $0 start|stop|halt|resume DIR" >&2
    exit 2
fi
bin=${PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
if [ -z "$bin" ] || [ ! -x "$bin/pg_ctl" ]; then
    echo "no PostgreSQL server programs (install the postgresql package)" >&2
    exit 1
fi
me=$(id -un)
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}
serve() {
    as_owner "$bin/pg_ctl" -D "$1/data" -l "$1/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories='$1' -c fsync=off \
            -c synchronous_commit=off -c full_page_writes=off -c max_connections=300" \
        start >/dev/null
}
case "$cmd" in
start)
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres "$dir"
    fi
    as_owner "$bin/initdb" -D "$dir/data" -U "$me" --auth=trust --encoding=UTF8 --locale=C \
        --no-sync >"$dir/initdb.log" 2>&1
    serve "$dir"
    printf 'host=%s dbname=postgres user=%s\n' "$dir" "$me" >"$dir/conninfo"
    ;;
stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    fi
    rm -rf "$dir"
    ;;
halt)
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
resume)
    serve "$(cd "$dir" && pwd)"
    ;;
*)
    echo "usage: $0 start|stop|halt|resume DIR" >&2
    exit 2
    ;;
esac
