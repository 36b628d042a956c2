#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches the source of Debian's avrdude (the same version as the installed
# avrdude package) into build/avrdude-source/, where the Windows build makes
# avrdude.exe from it (package/win/Avrdude.cmake). The source comes from the Debian
# registry this machine already installs avrdude from: a deb-src entry for that
# registry and suite is added to apt's sources when apt knows no source of it.
# A tarball already there is used as it is.
set -euo pipefail
cd "$(dirname "$0")/../.."

folder=build/avrdude-source
version="$(dpkg-query -W -f='${source:Version}' avrdude 2>/dev/null || true)"
if [ -z "$version" ]; then
    echo "avrdude-source: the avrdude package is not installed; its source not fetched" >&2
    exit 0
fi
upstream="${version#*:}"
upstream="${upstream%-*}"
tarball="$folder/avrdude_$upstream.orig.tar.xz"
if [ -f "$tarball" ]; then
    echo "avrdude-source: $tarball is already there"
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! apt-cache showsrc avrdude 2>/dev/null | grep -q "^Version: $version\$"; then
    # The registry and suite that serve the installed avrdude, as apt reports
    # them: "500 http://deb.debian.org/debian bookworm/main amd64 Packages".
    read -r uri suite component < <(apt-cache policy avrdude |
        awk '$1 ~ /^[0-9]+$/ && $2 ~ /^[a-z]+:\/\// && $NF == "Packages" {
                 split($3, sc, "/"); print $2, sc[1], sc[2]; exit }')
    if [ -z "${uri:-}" ]; then
        echo "avrdude-source: apt names no registry for avrdude; its source not fetched" >&2
        exit 0
    fi
    entry=/etc/apt/sources.list.d/vandrel-avrdude-source.sources
    echo "avrdude-source: adding $entry (deb-src $uri $suite $component)"
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\nSigned-By: %s\n' \
        "$uri" "$suite" "$component" /usr/share/keyrings/debian-archive-keyring.gpg |
        $sudo tee "$entry" >/dev/null
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
fi

mkdir -p "$folder"
# apt checks each file against the registry's signed index before it keeps it.
# Some registries serve the upstream tarball but not Debian's own changes
# (.debian.tar.xz), and apt then ends with an error after the tarball
# arrived: the tarball is all the Windows build needs, so it, not apt's exit
# status, tells whether this step succeeded.
(cd "$folder" && apt-get source --download-only -qq "avrdude=$version" >../avrdude-source.log 2>&1) || true
if [ ! -f "$tarball" ]; then
    echo "avrdude-source: $tarball did not arrive (apt's words in build/avrdude-source.log);" \
         "the Windows build makes no avrdude.exe" >&2
    exit 0
fi
echo "avrdude-source: $tarball ($(du -k "$tarball" | cut -f1) KB)"
