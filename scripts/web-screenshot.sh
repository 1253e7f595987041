#!/usr/bin/env bash
# Remakes docs/web-screenshot.png, docs/web-phone.png, docs/web-grab-bridge.png and docs/web-timeline.png: builds the
# site and runs the page's end-to-end tests, which save a picture of the whole page once the
# twenty-cube row has landed, and one of the page on a phone (390 x 844 at scale 3); then the
# bridge pulled down by the grab (scripts/web-grab-picture.mjs), and the timeline at a linked
# moment (scripts/web-timeline-picture.mjs).
set -euo pipefail
cd "$(dirname "$0")/.."
make web >/dev/null
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j 2 --target tremblo-sim >/dev/null
bash scripts/install-deps.sh chromium
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
node tests/web/page_test.mjs build-web --screenshot docs/web-screenshot.png
node tests/web/screens_test.mjs build-web build/tools/tremblo-sim --screenshot docs/web-phone.png
node scripts/web-grab-picture.mjs build-web docs/web-grab-bridge.png
node scripts/web-timeline-picture.mjs build-web docs/web-timeline.png
