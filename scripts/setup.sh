#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing Vandrel need on Debian 12, then
# runs the per-user set-up steps in scripts/setup.d/. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    # build
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-serialport-dev libgl-dev
    googletest libgtest-dev libgmock-dev
    # fuzz targets: clang with libFuzzer and the sanitizers' runtimes
    clang libclang-rt-14-dev
    # windows: a known font for dialog units, and a display for screenshots
    fonts-dejavu-core xvfb xauth
    # firmware, the simulated board and the uploader
    gcc-avr avr-libc binutils-avr avrdude simavr libsimavr-dev libelf-dev arduino-core-avr
    # the Debian package: its dependencies (dpkg-shlibdeps) and its checks
    dpkg-dev lintian desktop-file-utils
    # the Windows build: the MinGW-w64 cross compiler, Wine to run its tests,
    # NSIS for its installer, and Wine's own Tahoma and Marlett (which Wine
    # draws dialogs and caption buttons with; a recommendation of wine, so
    # not installed with it here); flex and bison for avrdude.exe, built from
    # Debian's avrdude source (setup.d/avrdude-source.sh fetches it)
    g++-mingw-w64-x86-64-posix wine wine64 nsis fonts-wine flex bison
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ -d scripts/setup.d ]; then
    for step in scripts/setup.d/*.sh; do
        [ -e "$step" ] || continue
        bash "$step"
    done
fi
