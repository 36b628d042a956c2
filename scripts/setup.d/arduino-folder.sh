#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the controller's default Arduino folder, $XDG_DATA_HOME/Vandrel/arduino-0012X
# (~/.local/share by default), a tree of links to Debian's avrdude and its
# configuration file, so that uploads work without an Arduino installation.
# A folder that is already there, whatever it holds, is left alone.
# Acts for the user who runs it (setup.sh runs only apt-get through sudo).
set -euo pipefail

uploader=/usr/bin/avrdude
config=/etc/avrdude.conf
data_home="${XDG_DATA_HOME:-$HOME/.local/share}"
work_dir="$data_home/Vandrel"
folder="$work_dir/arduino-0012X"

if [ -e "$folder" ] || [ -L "$folder" ]; then
    echo "arduino-folder: $folder is already there; left as it is"
    exit 0
fi
if [ ! -x "$uploader" ] || [ ! -f "$config" ]; then
    echo "arduino-folder: $uploader or $config is missing (Debian package avrdude); no Arduino folder made" >&2
    exit 0
fi

# Built beside its place and moved in whole, so that an interrupted run never
# leaves a half-made folder that later runs would then leave alone.
mkdir -p "$work_dir"
staging="$(mktemp -d "$work_dir/.arduino-0012X.XXXXXX")"
trap 'rm -rf "$staging"' EXIT
mkdir -p "$staging/hardware/tools/avr/bin" "$staging/hardware/tools/avr/etc"
ln -s "$uploader" "$staging/hardware/tools/avr/bin/avrdude"
ln -s "$config" "$staging/hardware/tools/avr/etc/avrdude.conf"
chmod 755 "$staging"
mv -T "$staging" "$folder"
trap - EXIT
echo "arduino-folder: made $folder (links to $uploader and $config)"
