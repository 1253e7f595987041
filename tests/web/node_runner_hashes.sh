#!/usr/bin/env bash
# node_runner_hashes.sh NATIVE_SIM NODE_SIM_JS EXAMPLES_DIR: the state hash at the end of every
# example, from the native runner and from the WebAssembly runner under node, must agree.
set -uo pipefail
native=$1 wasm=$2 examples=$3
failures=0 count=0
for script in "$examples"/*.sim "$examples"/scenes/*.sim; do
  name=${script#"$examples"/}
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
[ "$count" -gt 0 ] || { echo "FAIL: no example in $examples"; exit 1; }
exit $((failures > 0))
