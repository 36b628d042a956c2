#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole product under Wine, as a user gets it: in a new Wine prefix on a
# display of its own (Xvfb), the installer runs silently; the simulated safe
# answers on COM12, a port Windows lists as a USB serial bridge; an Arduino
# folder holds a stand-in for avrdude.exe; the driver (Driver.cpp) starts the
# installed program and walks its windows; a safe that never answers is on
# COM7. Then the stand-in's command line, the firmware in the working folder
# and the safe's log of what it received are checked, and the uninstaller
# runs silently. The zip must hold what the installer installs.
#
#   product.sh WORK SETUP ZIP DRIVER STANDIN SIMSAFE FIRMWARE_DIR REPLAY_LOG [SCREENSHOTS]
#
# WORK is made afresh (the prefix, the safe's log, the driver's output);
# SCREENSHOTS, when given, is a folder for the driver's pictures (BMP).
set -euo pipefail

if [ -z "${VANDREL_PRODUCT_WATCHDOG:-}" ]; then
    # The watchdog: after 150 s every process of the run is stopped (timeout
    # signals its whole group), and the clean-up below stops the prefix's
    # Windows programs.
    exec env VANDREL_PRODUCT_WATCHDOG=1 timeout -k 20 150 bash "$0" "$@"
fi

work=$1 setup=$2 zip=$3 driver=$4 standin=$5 simsafe=$6 firmware=$7 replay=$8 pictures=${9:-}
here=$(cd "$(dirname "$0")" && pwd)
comsafe="$here/../../safe/windows/com-safe.sh"
session="$here/../../../cmake/wine-session.sh"
started=$SECONDS

export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko offered, and no menu entries for the Linux desktop from
# the installer's shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

say() { printf '== %s\n' "$*"; }
fail() {
    printf 'FAILED: %s\n' "$*" >&2
    exit 1
}

driver_pid=""
cleanup() {
    [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null || true
    bash "$comsafe" stop "$work/safe" || true
    bash "$comsafe" stop "$work/silent-safe" || true
    bash "$session" stop "$work/session" wineserver
    # Nearly 700 MB, made again by every run.
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'echo "FAILED: stopped after $((SECONDS - started)) s" >&2; exit 1' TERM INT

rm -rf "$work"
mkdir -p "$WINEPREFIX"

say "a new Wine prefix"
# With a display of its own (Xvfb), Wine's fonts, and its windows unmanaged:
# Wine draws their frames as Windows does.
bash "$session" start "$work/session" wineserver wine Xvfb
export DISPLAY=":$(cat "$work/session/display")"
say "prefix ready after $((SECONDS - started)) s"

say "installing $(basename "$setup") /S"
wine "$setup" /S </dev/null >/dev/null 2>&1 || fail "the installer ended with $?"
programs="$WINEPREFIX/drive_c/Program Files/Vandrel"
for file in CadrelleController.exe Uninstall.exe COPYING.txt docs/board-setup.md docs/security.md; do
    [ -f "$programs/$file" ] || fail "not installed: $file"
done
for hex in Blink.hex Cadrelle.hex; do
    cmp -s "$programs/firmware/$hex" "$firmware/$hex" || fail "firmware/$hex is not the build's"
done
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vandrel.lnk"
[ -f "$shortcut" ] || fail "no Start-menu entry"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vandrel'
wine reg query "$uninstall_key" /v UninstallString 2>/dev/null | grep -q 'Uninstall.exe' ||
    fail "no entry among the installed programs"
mkdir -p "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
diff -r -x Uninstall.exe "$programs" "$work/zip/$(basename "$zip" .zip)" || fail "the zip holds other files than the installer"

say "the simulated safe on COM12, and one that never answers on COM7"
bash "$comsafe" start "$simsafe" "$WINEPREFIX/dosdevices/com12" "$work/safe" --verbose
bash "$comsafe" start "$simsafe" "$WINEPREFIX/dosdevices/com7" "$work/silent-safe" --misbehave silent
# Listed as the board's USB serial bridge would be, so the Test window offers it.
wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\VandrelVCP0' /d COM12 /f >/dev/null 2>&1 ||
    fail "could not list COM12"

# The Arduino folder, with the stand-in for avrdude.exe, which plays back a
# real avrdude log of an upload that went well.
arduino="$WINEPREFIX/drive_c/Arduino 1.8"
mkdir -p "$arduino/hardware/tools/avr/bin" "$arduino/hardware/tools/avr/etc"
cp "$standin" "$arduino/hardware/tools/avr/bin/avrdude.exe"
echo "# avrdude.conf of the test" >"$arduino/hardware/tools/avr/etc/avrdude.conf"
record="$WINEPREFIX/drive_c/standin-record"
mkdir -p "$record"
cp "$replay" "$record/replay"
export VANDREL_STANDIN_RECORD='C:\standin-record'

say "the driver walks the program"
options=(--program 'C:\Program Files\Vandrel\CadrelleController.exe' --port COM12 --silent-port COM7
         --arduino 'C:\Arduino 1.8'
         --firmware-version 'Cadrelle 1 simulated')
if [ -n "$pictures" ]; then
    mkdir -p "$pictures"
    options+=(--screenshots "$(winepath -w "$pictures" 2>/dev/null)")
fi
wine "$driver" "${options[@]}" </dev/null >"$work/driver.out" 2>&1 &
driver_pid=$!
status=0
wait "$driver_pid" || status=$?
driver_pid=""
tr -d '\r' <"$work/driver.out"
[ "$status" -eq 0 ] || fail "the driver ended with $status"

say "the upload"
words=$(tr '\0' '\n' <"$record/words")
expected='-v
-C
C:\Arduino 1.8\hardware\tools\avr\etc\avrdude.conf
-p
atmega168
-P
COM12
-c
stk500v1
-b19200
-U
flash:w:Cadrelle.hex'
[ "$words" = "$expected" ] || fail "avrdude.exe was given: $words"
workdir="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Vandrel"
[ "$(cat "$record/cwd")" = "C:\\users\\$(id -un)\\AppData\\Local\\Vandrel" ] ||
    fail "avrdude.exe ran in $(cat "$record/cwd")"
cmp -s "$workdir/Cadrelle.hex" "$firmware/Cadrelle.hex" || fail "the working folder lacks the installed Cadrelle.hex"
# avrdude.exe's standard error in text mode: its line ends are CR LF.
tr -d '\r' <"$workdir/upload_out.txt" | cmp -s - "$replay" || fail "the upload log is not avrdude's output"
echo "avrdude.exe: $(head -c 300 "$record/line")"

say "what the safe received"
log="$work/safe/simsafe.out"
lock=$(sed -n 's/^lock code: //p' "$work/driver.out" | tr -d '\r')
unlock=$(sed -n 's/^unlock code: //p' "$work/driver.out" | tr -d '\r')
grep -F "received \"$lock.$lock.$lock.\"" "$log" || fail "the safe's log lacks the lock code $lock"
grep -F "received \"$unlock.$unlock.$unlock.\"" "$log" || fail "the safe's log lacks the unlock code $unlock"

say "uninstalling"
wine "C:\\Program Files\\Vandrel\\Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the uninstaller ended with $?"
# It goes on from a copy of itself, so that it can remove itself.
for _ in $(seq 150); do
    [ -e "$programs" ] || break
    sleep 0.2
done
[ ! -e "$programs" ] || fail "the program folder is still there: $(ls -R "$programs")"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the entry among the installed programs is still there"
wine reg query 'HKCU\Software\Vandrel\CadrelleController\Setting' /v SerialPort 2>/dev/null | grep -q COM12 ||
    fail "the uninstaller took the user's settings"
[ -f "$workdir/Cadrelle.hex" ] || fail "the uninstaller took the user's working folder"

grep -E '^(start to main window|Test Lock):' "$work/driver.out" | tr -d '\r' | sed 's/^/== under Wine: /'
say "passed in $((SECONDS - started)) s"
