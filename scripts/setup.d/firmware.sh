#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the board's firmware, Blink.hex and Cadrelle.hex, from this checkout
# (firmware/ as a project of its own: only the AVR toolchain is needed, so it
# runs before the project's build) and puts both into the controller's working
# folder, $XDG_DATA_HOME/Vandrel (~/.local/share by default), where the Test
# window's 'Upload Blink' and 'Upload Cadrelle' look for them.
# A file there that differs from the new build is kept as <name>.hex.bak.
# Acts for the user who runs it (setup.sh runs only apt-get through sudo).
set -euo pipefail
cd "$(dirname "$0")/../.."

if ! command -v avr-g++ >/dev/null || [ ! -f /usr/lib/avr/include/avr/io.h ]; then
    echo "firmware: avr-g++ or avr-libc is missing (Debian packages gcc-avr, avr-libc); Blink.hex and Cadrelle.hex not built" >&2
    exit 0
fi

build="${VANDREL_FIRMWARE_SETUP_BUILD:-build/firmware-setup}"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S firmware -B "$build" "${generator[@]}" >/dev/null
cmake --build "$build" >/dev/null

data_home="${XDG_DATA_HOME:-$HOME/.local/share}"
work_dir="$data_home/Vandrel"
mkdir -p "$work_dir"
for name in Blink Cadrelle; do
    target="$work_dir/$name.hex"
    if [ -e "$target" ] && ! cmp -s "$build/$name.hex" "$target"; then
        mv -f "$target" "$target.bak"
        echo "firmware: the earlier $name.hex is kept as $target.bak"
    fi
    # Copied beside its place and moved in whole, so that an upload never
    # finds half a file.
    cp "$build/$name.hex" "$target.new"
    chmod 644 "$target.new"
    mv -f "$target.new" "$target"
    sizes="$(grep -E '^(Program|Data):' "$build/$name.size" | awk '{printf "%s %s bytes, ", $1, $2}')"
    echo "firmware: $target (${sizes%, })"
done
