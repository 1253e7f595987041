#!/usr/bin/env bash
# The headless runner compiled to WebAssembly and run under node, beside the native runner, on
# the twenty-small-cubes scene: 's' then 4000 steps (fall, landing, settling), ten times over.
# Per step: (time of that script - time of the same script with no step) / steps, each time the
# fastest of several runs, so that start-up (node compiling the module) does not count.
#
#   web_vs_native.sh NATIVE_TREMBLO_SIM NODE_TREMBLO_SIM_JS [RUNS]
set -euo pipefail
native=$1 wasm=$2 runs=${3:-5}
rounds=10 steps_per_round=4000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((i = 0; i < rounds; ++i)); do printf 'key s\nstep %d\n' "$steps_per_round"; done >"$work/steps.sim"
for ((i = 0; i < rounds; ++i)); do printf 'key s\nstep 0\n'; done >"$work/empty.sim"

# Fastest wall-clock time of RUNS runs of a command, in nanoseconds.
fastest() {
  local best=
  for ((r = 0; r < runs; ++r)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    if [ -z "$best" ] || [ $((end - start)) -lt "$best" ]; then best=$((end - start)); fi
  done
  echo "$best"
}

steps=$((rounds * steps_per_round))
per_step() { # runner...: ns per step
  local full empty
  full=$(fastest "$@" "$work/steps.sim")
  empty=$(fastest "$@" "$work/empty.sim")
  echo $(((full - empty) / steps))
}
native_ns=$(per_step "$native")
wasm_ns=$(per_step node "$wasm")
ratio=$(awk -v w="$wasm_ns" -v n="$native_ns" 'BEGIN { printf "%.2f", w / n }')
ok=$(awk -v r="$ratio" 'BEGIN { print (r <= 2.5) ? "met    " : "NOT met" }')

echo
echo "headless runner, scene s ('s' + 4000 steps, x$rounds), fastest of $runs runs:"
printf '%-34s%12s\n' "runner" "ns/step"
printf '%-34s%12d\n' "native (tremblo-sim)" "$native_ns"
printf '%-34s%12d\n' "WebAssembly under node" "$wasm_ns"
echo "$ok  node runner <= 2.5 x native per step: $ratio x"
