#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Saves a picture of each window as Windows draws it into docs/screenshots/windows/
# (main-window.png, master-window.png, sub-window.png, test-window.png,
# version-window.png): the Windows tests' whole-product run (installed under
# Wine, on Xvfb, against the simulated board), whose driver saves each window
# as it walks the program. Needs python3 (its zlib) to write the PNG files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
command -v python3 >/dev/null || { echo "windows-screenshots: needs python3 (Debian package python3)" >&2; exit 1; }
cmake --preset dev >/dev/null
cmake --build --preset dev --target simsafe simboard firmware_Blink firmware_Cadrelle
cmake --preset windows >/dev/null
cmake --build --preset windows

build="$PWD/build/windows"
bitmaps="$build/screenshots"
rm -rf "$bitmaps"
setup=$(ls "$build"/VandrelSetup-*.exe)
version=${setup##*VandrelSetup-}
zip="$build/Vandrel-${version%.exe}-win64.zip"
bash tests/product/win/product.sh "$build/tests/product/screenshots-run" "$setup" "$zip" \
    "$build/tests/product/product_driver.exe" "$PWD/build/dev/simboard/simboard" "$PWD/build/dev/firmware" \
    "$PWD/build/dev/simsafe/simsafe" "$bitmaps"

# The driver's top-down 32-bit BMP files as RGB PNG files.
mkdir -p docs/screenshots/windows
python3 - "$bitmaps" docs/screenshots/windows <<'EOF'
import pathlib, struct, sys, zlib

source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])

def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

for bmp in sorted(source.glob('*.bmp')):
    data = bmp.read_bytes()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    height = -height  # top-down
    rows = []
    for y in range(height):
        row = data[offset + y * width * 4: offset + (y + 1) * width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
        rows.append(b'\0' + bytes(rgb))
    png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b''))
    (target / (bmp.stem + '.png')).write_bytes(png)
    print(target / (bmp.stem + '.png'), width, 'x', height)
EOF
