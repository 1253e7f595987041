#!/usr/bin/env bash
# The page reaches the module only through web/page/module_api.js, and that script calls every
# function the module exports and none that it does not: a dead export or a misspelt call shows
# here, without a browser.
#
#   bash module_interface_test.sh REPO
set -euo pipefail
page=$1/web/page
failed=0

others=$(ls "$page"/*.js | grep -v '/module_api\.js$')
if grep -nE '_web[A-Z]|\bHEAP[A-Z0-9]+\b|UTF8ToString|createTremblo' $others; then
  echo "FAIL: page scripts above reach the module around module_api.js"
  failed=1
fi

exported=$(grep -oP 'EMSCRIPTEN_KEEPALIVE [^(]*\bweb\w+(?=\()' "$1/web/page_exports.cpp" | grep -oP 'web\w+$' | sort -u)
called=$(grep -oP '\b_\Kweb[A-Z]\w*' "$page/module_api.js" | sort -u)
if [ -z "$exported" ]; then
  echo "FAIL: no export found in web/page_exports.cpp"
  failed=1
fi
dead=$(comm -23 <(echo "$exported") <(echo "$called"))
missing=$(comm -13 <(echo "$exported") <(echo "$called"))
if [ -n "$dead" ]; then echo "FAIL: exported, never called:" $dead; failed=1; fi
if [ -n "$missing" ]; then echo "FAIL: called, not exported:" $missing; failed=1; fi

[ $failed -eq 0 ] && echo "module interface: $(echo "$exported" | wc -l) exports, all called through module_api.js"
exit $failed
