#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The set-up step that makes the default Arduino folder: run in a temporary
# data home, it makes the tree of links; run again, or over a folder the user
# made, it changes nothing.
set -euo pipefail
step="$1"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export XDG_DATA_HOME="$home/data"
folder="$XDG_DATA_HOME/Vandrel/arduino-0012X"

bash "$step" >/dev/null
[ "$(readlink "$folder/hardware/tools/avr/bin/avrdude")" = /usr/bin/avrdude ] || fail "avrdude link"
[ "$(readlink "$folder/hardware/tools/avr/etc/avrdude.conf")" = /etc/avrdude.conf ] || fail "avrdude.conf link"
[ -z "$(find "$XDG_DATA_HOME/Vandrel" -maxdepth 1 -name '.arduino-0012X.*')" ] || fail "staging folder left behind"

before="$(ls -lR "$folder")"
bash "$step" >/dev/null
[ "$(ls -lR "$folder")" = "$before" ] || fail "second run changed the folder"

# A folder of the user's own, even an empty one, stays as it is.
export XDG_DATA_HOME="$home/own"
mkdir -p "$XDG_DATA_HOME/Vandrel/arduino-0012X"
bash "$step" >/dev/null
[ -z "$(ls -A "$XDG_DATA_HOME/Vandrel/arduino-0012X")" ] || fail "existing folder was filled"

# Without XDG_DATA_HOME the folder goes below ~/.local/share.
unset XDG_DATA_HOME
HOME="$home/user" bash "$step" >/dev/null
[ -L "$home/user/.local/share/Vandrel/arduino-0012X/hardware/tools/avr/bin/avrdude" ] || fail "default data home"
echo "arduino-folder set-up: ok"
