#!/usr/bin/env bash
# node_runner_hashes.sh NATIVE_SIM NODE_SIM_JS EXAMPLES_DIR [DIR...]: the state hash at the end of
# every script in the folders (and their scenes/), from the native runner and from the
# WebAssembly runner under node, must agree.
set -uo pipefail
shopt -s nullglob
native=$1 wasm=$2
shift 2
failures=0 count=0
for dir in "$@"; do
  for script in "$dir"/*.sim "$dir"/scenes/*.sim; do
    name=${script#"$dir"/}
    expected=$("$native" "$script" --hash 2>/dev/null) || { echo "FAIL: $name: the native runner failed"; failures=$((failures + 1)); continue; }
    actual=$(node "$wasm" "$script" --hash 2>/dev/null) || { echo "FAIL: $name: the node runner failed"; failures=$((failures + 1)); continue; }
    count=$((count + 1))
    if [ "$actual" = "$expected" ]; then
      echo "$name: $actual in both"
    else
      echo "FAIL: $name: node $actual, native $expected"
      failures=$((failures + 1))
    fi
  done
done
[ "$count" -gt 0 ] || { echo "FAIL: no example in $*"; exit 1; }
exit $((failures > 0))
