#!/usr/bin/env bash
# Compares the core of the working tree with the core of an earlier commit, step by step:
#  - the headless runner's full traces (--every 1) and state hashes on every example script
#    and the pinned scripts of tests/determinism/scripts/ (contact between cubes),
#    built once with each core (the runner's own code from the working tree);
#  - the per-step hashes of bench/trace_steps.cpp (every scene under many flags and pushes),
#    with the working tree's core built optimised (AVX2 where the processor has it), at -O0,
#    without the wider clones (SSE2 only) and with AVX-512 as the widest.
# Usage: bench/compare_cores.sh BASE_COMMIT [WORK_DIR]   (a base with the run/ folder and with
# contact between cubes: the drivers of the working tree build on its run library, world reset
# and settings)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
base=$1
work=${2:-$root/build-perf/compare}
rm -rf "$work"
mkdir -p "$work/base" "$work/new"
# The base: the whole project as it was at BASE_COMMIT. The new tree: the working tree as it is.
(cd "$root" && git archive "$base" | tar -x -C "$work/base")
(cd "$root" && git ls-files --cached --others --exclude-standard -z | xargs -0 cp --parents -t "$work/new")
# Both run the working tree's runner, examples and benchmark drivers.
for dir in run tools examples bench; do rm -rf "${work:?}/base/$dir"; cp -r "$root/$dir" "$work/base/"; done
# The runner reads the step's constants; a base from before they had a header of their own gets it.
[ -f "$work/base/sim/constants.h" ] || cp "$root/sim/constants.h" "$work/base/sim/"

failed=0
for tree in base new; do
  cmake -S "$work/$tree" -B "$work/$tree/build" -DCMAKE_BUILD_TYPE=Release -DTREMBLO_WINDOW=OFF -DTREMBLO_TESTS=OFF >/dev/null
  cmake --build "$work/$tree/build" -j 2 --target tremblo-sim >/dev/null
done
for script in "$root"/examples/*.sim "$root"/tests/determinism/scripts/*.sim; do
  name=$(basename "$script" .sim)
  for tree in base new; do
    "$work/$tree/build/tools/tremblo-sim" "$script" --trace "$work/$tree/$name.csv" --every 1 --hash >"$work/$tree/$name.hash" 2>/dev/null
  done
  if cmp -s "$work/base/$name.csv" "$work/new/$name.csv" && cmp -s "$work/base/$name.hash" "$work/new/$name.hash"; then
    echo "same: $name ($(wc -l <"$work/new/$name.csv") trace rows, hash $(cat "$work/new/$name.hash"))"
  else
    echo "DIFFERENT: $name"
    failed=1
  fi
done

"$root/bench/trace_build.sh" "$work/base" "$work/trace-base"
"$work/trace-base" >"$work/trace-base.txt"
for variant in "optimised:" "O0:-O0" "no-clones:-DTREMBLO_NO_CLONES" 'avx512:-DTREMBLO_CLONE_TARGETS="avx512f","default"'; do
  label=${variant%%:*}
  flags=${variant#*:}
  # shellcheck disable=SC2086
  "$root/bench/trace_build.sh" "$work/new" "$work/trace-$label" $flags
  "$work/trace-$label" >"$work/trace-$label.txt"
  if cmp -s "$work/trace-base.txt" "$work/trace-$label.txt"; then
    echo "same: per-step hashes, $(grep -c '^# end' "$work/trace-base.txt") scenarios of $(grep -vc '^#' "$work/trace-base.txt") steps in all ($label)"
  else
    echo "DIFFERENT: per-step hashes ($label)"
    failed=1
  fi
done
exit $failed
