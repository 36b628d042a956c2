#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Vandrel and runs all its tests, headless, then builds it for Windows
# (preset windows, MinGW-w64) and runs those tests under Wine. With CI=true (as .ci/run
# sets it) the build treats warnings as errors, the Debian package is made from
# that build and tested, the tests run a second time under AddressSanitizer and
# UndefinedBehaviorSanitizer, and every fuzz target runs for two seconds from
# its seed corpus (scripts/fuzz.sh), so that a change that breaks one of their
# checks shows.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
presets=(dev)
[ "${CI:-}" = "true" ] && presets=(ci asan)

# The Debian package from the ci build: made, checked by lintian and
# desktop-file-validate, and its unpacked program run against the simulated
# board with default settings in a new home.
check_package() {
    echo "== Debian package"
    rm -rf build/ci/deb
    cpack --preset deb
    local deb
    deb="$(ls build/ci/deb/vandrel_*.deb)"
    dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
    dpkg-deb --contents "$deb"
    ls -l "$deb"
    lintian --fail-on error --display-info "$deb"
    desktop-file-validate res/icon/vandrel.desktop
    build/ci/tests/package/package_tests "$deb"
}

# Each part's time, printed as it ends and again at the end.
times=()
timed() {
    local part="$1" start=$SECONDS
    shift
    "$@"
    times+=("$part: $((SECONDS - start)) s")
    echo "== $part took $((SECONDS - start)) s"
}

for preset in "${presets[@]}"; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    timed "$preset build" cmake --build --preset "$preset"
    timed "$preset tests" ctest --preset "$preset"
    if [ "$preset" = ci ]; then
        timed "Debian package" check_package
    fi
done

# The Windows build's tests start Wine's server and make its prefix under
# build/windows themselves (the CTest fixture "wine"); its COM port tests talk
# to the simulated safe of the first Linux build, its installer carries that
# build's firmware, and its whole-product test uploads with avrdude.exe into
# that build's simulated board.
echo "== windows build"
cmake --preset windows -DVANDREL_SIMSAFE="$PWD/build/${presets[0]}/simsafe/simsafe" \
    -DVANDREL_SIMBOARD="$PWD/build/${presets[0]}/simboard/simboard" \
    -DVANDREL_FIRMWARE_DIR="$PWD/build/${presets[0]}/firmware" >/dev/null
timed "windows build" cmake --build --preset windows
timed "windows tests (Wine)" ctest --preset windows
# The whole-product run's figures: the start to the main window, one exchange.
grep -h '^== under Wine:' build/windows/Testing/Temporary/LastTest.log || true

if [ "${CI:-}" = "true" ]; then
    echo "== fuzz targets, briefly"
    timed "fuzz targets" scripts/fuzz.sh 2
fi

printf '== %s\n' "${times[@]}"
