#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The session the Windows tests run in: an X server of its own (Xvfb, on the
# first free display), Wine's server and the prefix (WINEPREFIX).
#   wine-session.sh start STATEDIR WINESERVER WINE XVFB
#   wine-session.sh run STATEDIR WINE PROGRAM [ARGS...]
#   wine-session.sh stop STATEDIR WINESERVER
#
# Every Wine program of the session gets the session's display: the first one
# that touches the desktop starts Wine's desktop process, which keeps the
# display it found for every window of the prefix, and a desktop started
# without one leaves the next program unable to open any window.
#
# Wine's server would inherit the output pipe of whatever first starts it,
# and CTest then waits for that pipe to close: everything started here has
# its streams redirected.
set -euo pipefail
command=$1 dir=$2
shift 2
case "$command" in
start)
    wineserver=$1 wine=$2 xvfb=$3
    mkdir -p "$dir" "$WINEPREFIX"
    rm -f "$dir/display"
    # Xvfb writes its display's number once it takes connections.
    "$xvfb" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 100); do
        [ "$(wc -l <"$dir/display")" -ge 1 ] && break
        sleep 0.1
    done
    [ "$(wc -l <"$dir/display")" -ge 1 ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(cat "$dir/display")"
    "$wineserver" -p </dev/null >/dev/null 2>&1
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1
    # Wine maps "MS Shell Dlg" to Tahoma and draws the caption buttons with
    # Marlett. Debian's Wine does not find its own copies of them (package
    # fonts-wine) by itself: without them the close box shows an "r" and the
    # dialogs a wider font than Windows'.
    if [ -d /usr/share/wine/fonts ]; then
        cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    # Windows are left unmanaged: Wine draws their frames itself, as Windows
    # does, and does not wait two seconds at every closed window for a window
    # manager that the session does not have.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    ;;
run)
    wine=$1
    shift
    DISPLAY=":$(cat "$dir/display")" exec "$wine" "$@"
    ;;
stop)
    wineserver=$1
    "$wineserver" -k </dev/null >/dev/null 2>&1 || true
    if [ -f "$dir/xvfb.pid" ]; then
        kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
        rm -f "$dir/xvfb.pid"
    fi
    ;;
*)
    echo "usage: $0 start|run|stop STATEDIR ..." >&2
    exit 2
    ;;
esac
