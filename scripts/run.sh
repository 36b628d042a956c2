#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Vandrel and starts it talking to the simulated safe, so it can be
# tried without a board. It runs with settings and a working folder of its own
# under build/dev/try (never the user's own settings), the safe keeps its lock
# there across runs, and the safe stops when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/setup.sh

cmake --preset dev >/dev/null
targets=(simsafe)
if ninja -C build/dev -t query CadrelleController >/dev/null 2>&1; then
    targets+=(CadrelleController)
fi
cmake --build --preset dev --target "${targets[@]}"

try="$root/build/dev/try"
export XDG_CONFIG_HOME="$try/config"
export XDG_DATA_HOME="$try/data"
mkdir -p "$XDG_CONFIG_HOME/Vandrel" "$XDG_DATA_HOME"
# The per-user set-up steps again, for this store's own working folder.
if [ -d scripts/setup.d ]; then
    for step in scripts/setup.d/*.sh; do
        [ -e "$step" ] || continue
        bash "$step" >/dev/null
    done
fi

port="$try/safe-port"
said="$try/simsafe.out"
log="$try/simsafe.log"
: >"$said"
build/dev/simsafe/simsafe --link "$port" --state-file "$try/safe-state" --verbose \
    </dev/null >"$said" 2>"$log" &
safe=$!
trap 'kill "$safe" 2>/dev/null || true; wait "$safe" 2>/dev/null || true' EXIT

# The safe prints its terminal's path once it serves.
for _ in $(seq 100); do
    [ -s "$said" ] && break
    if ! kill -0 "$safe" 2>/dev/null; then
        echo "run: the simulated safe did not start:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep 0.05
done
if [ ! -s "$said" ]; then
    echo "run: the simulated safe did not report its port; see $log" >&2
    exit 1
fi

# Point the program at the safe: "SerialPort" in section "Setting" of its
# store, as QSettings keeps it on Linux. Other values the user set while
# trying stay as they are.
conf="$XDG_CONFIG_HOME/Vandrel/CadrelleController.conf"
quoted="\"$(printf '%s' "$port" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')\""
touch "$conf"
SETTING_LINE="SerialPort=$quoted" awk '
    BEGIN { line = ENVIRON["SETTING_LINE"] }
    /^\[/ { in_setting = ($0 == "[Setting]") }
    in_setting && /^SerialPort[ \t]*=/ { next }
    { print }
    in_setting && $0 == "[Setting]" && !done { print line; done = 1 }
    END { if (!done) { print "[Setting]"; print line } }
' "$conf" >"$conf.new"
mv "$conf.new" "$conf"

program=build/dev/app/CadrelleController
if [ ! -x "$program" ]; then
    echo "run: $program is not built yet; the simulated safe alone serves $port until Ctrl+C" >&2
    wait "$safe"
    exit 1
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "run: no display found; on a machine without one, try: xvfb-run scripts/run.sh" >&2
fi
echo "run: simulated safe on $port (its log: $log); settings and working folder in $try"
set +e
"$program"
status=$?
exit "$status"
