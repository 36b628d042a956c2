#!/usr/bin/env bash
# Builds Vandrel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target CadrelleController
exec build/dev/app/CadrelleController
