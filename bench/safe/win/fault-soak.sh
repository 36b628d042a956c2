#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The fault soak of the Windows build, under Wine, against simulated safes
# through COM ports:
#
#   bench/safe/win/fault-soak.sh WINDOWS_BUILD SIMSAFE [exchanges] [--workers N] [--seed S] [--grace MS] [--keep-unread]
#
# e.g. bench/safe/win/fault-soak.sh build/windows build/dev/simsafe/simsafe 2000 --workers 4 --seed 1
#
# For each worker it starts one simulated safe (the Linux build's simsafe) on
# the pseudo-terminal that COM(21+N) maps to ($WINEPREFIX/dosdevices/comN),
# and relays the safe's control lines: the worker appends them to
# safeN/control.in, `tail -f` feeds them to the safe, and the safe's answers
# go to safeN/control.out, which the worker reads. The soak program
# (bench_fault_soak.exe) draws the faults from the seed as the Linux soak
# does and prints the same table. It runs in a Wine prefix of its own
# (WINDOWS_BUILD/soak-prefix, made at the first run), so a test run in the
# build's own prefix is not disturbed. The exit code is the soak's: 0 unless
# there was a wrong success or a worker failed.
set -euo pipefail
[ $# -ge 2 ] || { sed -n '3,8p' "$0" >&2; exit 2; }
build=$(cd "$1" && pwd) simsafe=$(realpath "$2")
shift 2
soak=$build/bench/safe/bench_fault_soak.exe
[ -f "$soak" ] || { echo "fault-soak.sh: no $soak: build the windows preset first" >&2; exit 1; }
[ -x "$simsafe" ] || { echo "fault-soak.sh: no simulated safe at $simsafe" >&2; exit 1; }

workers=8 keep=()
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
    case ${args[$i]} in
    --workers) workers=${args[$((i + 1))]:-8} ;;
    --keep-unread) keep=(--keep-unread) ;;
    esac
done
[[ $workers =~ ^[1-9][0-9]?$ ]] || { echo "fault-soak.sh: --workers takes 1 to 99" >&2; exit 2; }

export WINEPREFIX=$build/soak-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
dir=$(mktemp -d /tmp/vandrel-winsoak-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k </dev/null >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT

# Wine's server would keep the streams of whatever starts it first.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

for ((w = 0; w < workers; w++)); do
    d=$dir/safe$w port=COM$((21 + w))
    link=$WINEPREFIX/dosdevices/${port,,}
    mkdir -p "$d"
    echo "$port" >"$d/port"
    : >"$d/control.in"
    : >"$d/control.out"
    mkfifo "$d/lines"
    "$simsafe" --link "$link" "${keep[@]}" <"$d/lines" >"$d/control.out" 2>"$d/simsafe.err" &
    safe=$!
    pids+=("$safe")
    tail -n +1 -f --pid="$safe" "$d/control.in" >"$d/lines" &
    pids+=($!)
    for _ in $(seq 50); do
        [ -L "$link" ] && break
        sleep 0.1
    done
    [ -L "$link" ] || { echo "fault-soak.sh: the simulated safe did not start:" >&2; cat "$d/simsafe.err" >&2; exit 1; }
done

status=0
wine "$soak" "$@" --safes "Z:${dir//\//\\}" </dev/null || status=$?
exit "$status"
