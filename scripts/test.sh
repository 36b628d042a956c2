#!/usr/bin/env bash
# Builds Vandrel and runs all its tests, headless. With CI=true (as .ci/run
# sets it) the build treats warnings as errors and the tests run a second time
# under AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzz target
# runs for two seconds from its seed corpus (scripts/fuzz.sh), so that a
# change that breaks one of their checks shows.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
presets=(dev)
[ "${CI:-}" = "true" ] && presets=(ci asan)

for preset in "${presets[@]}"; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

if [ "${CI:-}" = "true" ]; then
    echo "== fuzz targets, briefly"
    scripts/fuzz.sh 2
fi
