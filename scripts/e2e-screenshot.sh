#!/usr/bin/env bash
# Remakes docs/screenshot.png: runs the window's end-to-end test, which saves the picture of the
# twenty-cube row once it has landed.
#
#   scripts/e2e-screenshot.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target tremblo
python3 tests/e2e/window_e2e.py "$build/app/tremblo" --screenshot docs/screenshot.png
