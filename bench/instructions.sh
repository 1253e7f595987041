#!/usr/bin/env bash
# Instructions per spring-step, counted by callgrind: the twenty-small-cubes scene ('s', 446
# springs) and rows of 1000 cubes (22600 springs, gravity off). Then instructions per step with
# contact between cubes off and on: rows of 1000 and 10000 cubes (nothing touches) and the slab
# of 1024 cubes (examples/scenes/slab.sim, its 4000 steps: fall, landing, rows pressing). Each count is a run with steps
# less the same run without them, so building the scene and starting the program do not count.
# Instruction counts do not depend on the machine's load, so they decide between two versions
# of the step where wall-clock times on a shared machine cannot.
# Usage: bench/instructions.sh [BUILD_DIR]   (a build with tremblo-sim and tremblo_count)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BENCH_BUILD:-$root/build-bench}}
command -v valgrind >/dev/null || { echo "instructions: valgrind not found, not counted"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions executed by a command, all threads, as callgrind counts them.
count() {
  valgrind --tool=callgrind --callgrind-out-file="$work/out" "$@" >/dev/null 2>&1
  sed -n 's/^summary: *//p' "$work/out"
}
# Instructions per spring-step: (with steps - without) / steps / springs.
perSpringStep() {
  awk -v with="$1" -v without="$2" -v steps="$3" -v springs="$4" \
    'BEGIN { printf "%.1f", (with - without) / steps / springs }'
}

sim=$build/tools/tremblo-sim
printf 'key s\nstep 5000\n' >"$work/steps.sim"
printf 'key s\n' >"$work/none.sim"
s=$(perSpringStep "$(count "$sim" "$work/steps.sim")" "$(count "$sim" "$work/none.sim")" 5000 446)
echo "instructions per spring-step, scene s (446 springs, 5000 steps): $s"

rows=$build/bench/tremblo_count
r=$(perSpringStep "$(count "$rows" 1000 100)" "$(count "$rows" 1000 0)" 100 22600)
echo "instructions per spring-step, rows of 1000 cubes (22600 springs, 100 steps): $r"
awk -v s="$s" 'BEGIN { printf "%s  scene s at most 115 instructions per spring-step: %s\n", (s <= 115 ? "met    " : "NOT met"), s }'

# Instructions per step: (with steps - without) / steps.
perStep() { awk -v with="$1" -v without="$2" -v steps="$3" 'BEGIN { printf "%.0f", (with - without) / steps }'; }
onOff() { # label, off, on
  awk -v l="$1" -v off="$2" -v on="$3" 'BEGIN { printf "%-34s%14d%14d%8.2f\n", l, off, on, on / off }'
}
echo
echo "instructions per step, contact between cubes off and on:"
printf '%-34s%14s%14s%8s\n' "scene" "off" "on" "ratio"
off=$(perStep "$(count "$rows" 1000 100 off)" "$(count "$rows" 1000 0 off)" 100)
on=$(perStep "$(count "$rows" 1000 100 contact)" "$(count "$rows" 1000 0 contact)" 100)
onOff "rows of 1000 cubes (100 steps)" "$off" "$on"
off=$(perStep "$(count "$rows" 10000 10 off)" "$(count "$rows" 10000 0 off)" 10)
on=$(perStep "$(count "$rows" 10000 10 contact)" "$(count "$rows" 10000 0 contact)" 10)
onOff "rows of 10000 cubes (10 steps)" "$off" "$on"
slab=$root/examples/scenes/slab.sim
grep -v '^step' "$slab" >"$work/slab-none.sim"
{ echo "set contact on"; cat "$slab"; } >"$work/slab-on.sim"
{ echo "set contact on"; cat "$work/slab-none.sim"; } >"$work/slab-on-none.sim"
steps=$(sed -n 's/^step \([0-9]*\).*/\1/p' "$slab" | awk '{ n += $1 } END { print n }')
off=$(perStep "$(count "$sim" "$slab")" "$(count "$sim" "$work/slab-none.sim")" "$steps")
on=$(perStep "$(count "$sim" "$work/slab-on.sim")" "$(count "$sim" "$work/slab-on-none.sim")" "$steps")
onOff "slab of 1024 cubes ($steps steps)" "$off" "$on"
