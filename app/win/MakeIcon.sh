#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a Windows icon file from PNG pictures of the icon, each a square of
# its size: the ICO directory with one entry for each, and the PNG data as it
# is (Windows reads PNG images in icons since Vista).
#   MakeIcon.sh OUT.ico SIZE:FILE.png...
set -eu
out=$1
shift

le16() {
    printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $((($1 >> 8) & 255)))"
}
le32() {
    le16 $(($1 & 65535))
    le16 $((($1 >> 16) & 65535))
}

{
    le16 0
    le16 1 # an icon, not a cursor
    le16 $#
    offset=$((6 + 16 * $#))
    for entry in "$@"; do
        size=${entry%%:*}
        file=${entry#*:}
        bytes=$(wc -c <"$file")
        side=$((size >= 256 ? 0 : size)) # 0 stands for 256
        printf "\\$(printf %03o $side)\\$(printf %03o $side)\\000\\000"
        le16 1  # planes
        le16 32 # bits per pixel
        le32 "$bytes"
        le32 "$offset"
        offset=$((offset + bytes))
    done
    for entry in "$@"; do
        cat "${entry#*:}"
    done
} >"$out.part"
mv "$out.part" "$out"
