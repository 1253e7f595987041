#!/usr/bin/env bash
# Remakes docs/web-screenshot.png: builds the site and runs the page's end-to-end test, which
# saves a picture of the whole page once the twenty-cube row has landed.
set -euo pipefail
cd "$(dirname "$0")/.."
make web >/dev/null
bash scripts/install-deps.sh chromium
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
node tests/web/page_test.mjs build-web --screenshot docs/web-screenshot.png
