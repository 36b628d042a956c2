#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The set-up step scripts/setup.d/firmware.sh: it builds Blink.hex and
# Cadrelle.hex and puts them into the working folder of a temporary data home;
# a differing file already there is kept as .bak, never lost.
#   FirmwareSetupTest.sh <script> <build folder for the step>
set -euo pipefail
script="$1"
export VANDREL_FIRMWARE_SETUP_BUILD="$2"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export XDG_DATA_HOME="$home/data"
work="$XDG_DATA_HOME/Vandrel"

fail() { echo "FAIL: $*" >&2; exit 1; }

bash "$script"
for name in Blink Cadrelle; do
    [ -s "$work/$name.hex" ] || fail "$name.hex is not in $work"
    head -c 1 "$work/$name.hex" | grep -q ':' || fail "$name.hex is not Intel hex"
    tail -n 1 "$work/$name.hex" | grep -q '^:00000001FF' || fail "$name.hex has no end record"
done

# A user's own file is kept; running again with nothing changed keeps no copy.
echo "my own" > "$work/Blink.hex"
bash "$script"
[ "$(cat "$work/Blink.hex.bak")" = "my own" ] || fail "the earlier Blink.hex was not kept"
cmp -s "$work/Blink.hex" "$VANDREL_FIRMWARE_SETUP_BUILD/Blink.hex" || fail "Blink.hex was not replaced"
rm "$work/Blink.hex.bak"
bash "$script"
[ ! -e "$work/Blink.hex.bak" ] && [ ! -e "$work/Cadrelle.hex.bak" ] || fail "an unchanged file was backed up"
echo "firmware set-up: ok"
