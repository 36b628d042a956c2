#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The simulated safe (a Linux program) on a pseudo-terminal that Wine's
# programs open as a COM port: its --link is $WINEPREFIX/dosdevices/comN.
#   com-safe.sh start SIMSAFE LINK STATEDIR [simsafe options...]
#   com-safe.sh stop STATEDIR
set -euo pipefail
case "$1" in
start)
    simsafe=$2 link=$3 dir=$4
    shift 4
    mkdir -p "$dir"
    "$simsafe" --link "$link" "$@" </dev/null >"$dir/simsafe.out" 2>&1 &
    echo $! >"$dir/simsafe.pid"
    for _ in $(seq 50); do
        [ -L "$link" ] && exit 0
        sleep 0.1
    done
    echo "the simulated safe did not start:" >&2
    cat "$dir/simsafe.out" >&2
    exit 1
    ;;
stop)
    dir=$2
    [ -f "$dir/simsafe.pid" ] || exit 0
    kill "$(cat "$dir/simsafe.pid")" 2>/dev/null || true
    rm -f "$dir/simsafe.pid"
    ;;
*)
    echo "usage: $0 start SIMSAFE LINK STATEDIR [options] | stop STATEDIR" >&2
    exit 2
    ;;
esac
