#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Saves a picture of each window into docs/screenshots/ (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target screenshots
QT_QPA_PLATFORM=offscreen VANDREL_SCREENSHOT_DIR="$PWD/docs/screenshots" build/dev/tests/screenshots/screenshots --gtest_also_run_disabled_tests
ls docs/screenshots
